#pragma once
// Files and folders for the Win32 tests, removed again when the test ends.
#include <windows.h>

#include <string>

#include "support/WinFiles.h"

// A fresh folder under the temporary directory (or under `parent`), removed with its contents.
class TempFolder {
  public:
    explicit TempFolder(const std::string& parent = std::string());
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "\\" + name; }

  private:
    std::string path_;
};
