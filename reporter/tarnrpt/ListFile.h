#pragma once
#include <windows.h>

#include <string>

// The upload list handed over by the main program. The reporter runs with administrator rights
// on a file in the user's temporary directory, so the file is opened once, checked to be a plain
// file with one name (no link or junction someone could have put in its place), read and later
// deleted through that same handle: the file deleted is the file that was read.
class ListFile {
  public:
    enum class OpenResult { Opened, Missing, Unreadable };

    ListFile() = default;
    ListFile(const ListFile&) = delete;
    ListFile& operator=(const ListFile&) = delete;
    ~ListFile() { Close(); }

    OpenResult Open(const std::string& path);
    const std::string& Bytes() const { return bytes_; }
    // Deletes the file and closes the handle. Returns true when the file is gone.
    bool Delete();
    void Close();

  private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    bool deletable_ = false;
    std::string bytes_;
};
