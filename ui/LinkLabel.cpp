#include "ui/LinkLabel.h"

#include <cstring>
#include <new>

LinkLabel::~LinkLabel() {
    delete[] target_;
}

bool LinkLabel::Attach(HWND) {
    return false;
}

bool LinkLabel::AttachAndInitialize(HWND control) {
    if (!Attach(control))
        return false;
    Initialize();
    return true;
}

void LinkLabel::Initialize() {}

bool LinkLabel::SetTarget(const char* text) {
    delete[] target_;
    target_ = nullptr;
    if (text == nullptr)
        return false;
    const size_t size = std::strlen(text) + 1;
    target_ = new (std::nothrow) char[size];
    if (target_ == nullptr)
        return false;
    std::memcpy(target_, text, size);
    return true;
}
