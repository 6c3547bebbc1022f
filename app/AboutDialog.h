#pragma once
#include "ui/WindowObject.h"

// The About box: the program icon, title and publisher notice, closed by OK or Esc.
class AboutDialog : public WindowObject {
  public:
    void Show();

  private:
    INT_PTR DialogMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};
