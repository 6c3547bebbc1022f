#pragma once
#include "app/WindowObject.h"

// A static text control turned into a clickable link. Placeholder: until the link behaviour is
// built the controls stay plain statics; only the target is kept.
class LinkLabel : public WindowObject {
  public:
    LinkLabel() = default;
    ~LinkLabel() override;

    bool Attach(HWND control);
    bool AttachAndInitialize(HWND control);
    void Initialize();
    bool SetTarget(const char* text);
    const char* Target() const { return target_; }

  private:
    char* target_ = nullptr;
};
