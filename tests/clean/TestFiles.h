#pragma once
// Files and folders for the Win32 tests of clean/, removed again when the test ends.
#include <windows.h>

#include <string>

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

bool WriteWholeFile(const std::string& path, const std::string& bytes);
bool ReadWholeFile(const std::string& path, std::string* bytes);
// Removes a folder and everything in it.
void RemoveTree(const std::string& path);
// Wide form of a code page 936 path.
std::wstring Widen(const std::string& text);
// Windows form of the build's Unix paths (drive Z:).
std::string WindowsPathOf(const char* unixOrWindowsPath);
