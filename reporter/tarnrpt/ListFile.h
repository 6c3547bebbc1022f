#pragma once
#include <windows.h>

#include <string>

// Marks a file open with DELETE access for deletion when its last handle closes: through
// SetFileInformationByHandle where kernel32 has it (Vista on), through ntdll's
// NtSetInformationFile on Windows XP. Either entry point may be nullptr ("not on this system").
struct FileDisposition {
    typedef BOOL(WINAPI* SetFileInformationByHandleProc)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID,
                                                         DWORD);
    typedef LONG(NTAPI* NtSetInformationFileProc)(HANDLE, void* ioStatus, void* information,
                                                  ULONG length, int informationClass);

    SetFileInformationByHandleProc setFileInformationByHandle = nullptr;
    NtSetInformationFileProc ntSetInformationFile = nullptr;

    // Both bound from the loaded kernel32 and ntdll, once.
    static const FileDisposition& OfThisSystem();
    bool MarkForDeletion(HANDLE file) const;
};

// The upload list handed over by the main program. The reporter runs with administrator rights
// on a file it did not write. The file is opened once, checked to be a plain file with one name
// (no link or junction someone could have put in its place) and read; that handle stays open,
// without write sharing, until the list is deleted. Deletion reopens the path with delete
// access, waiting briefly while another process's handle refuses it, and deletes only when that
// is still the file that was read.
class ListFile {
  public:
    enum class OpenResult { Opened, Missing, Unreadable };

    explicit ListFile(const FileDisposition& disposition = FileDisposition::OfThisSystem())
        : disposition_(disposition) {}
    ListFile(const ListFile&) = delete;
    ListFile& operator=(const ListFile&) = delete;
    ~ListFile() { Close(); }

    OpenResult Open(const std::string& path);
    const std::string& Bytes() const { return bytes_; }
    // Deletes the file that was read and closes it; waits up to about 3 s while another handle
    // refuses delete access. Returns true when the file is gone.
    bool Delete();
    void Close();

  private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    bool deletable_ = false;
    std::string path_;
    BY_HANDLE_FILE_INFORMATION identity_ = {};
    std::string bytes_;
    FileDisposition disposition_;
};
