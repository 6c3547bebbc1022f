#pragma once
// Files and folders put into the system directory for a scan to meet, removed again afterwards.
#include <windows.h>

#include <string>
#include <vector>

namespace seed {

// The system directory as GetSystemDirectoryA gives it, without a trailing backslash.
std::string SystemDirectory();

// A harmless PE library image whose first section has the given name: headers and two small
// sections of zero bytes, built in code.
std::vector<unsigned char> LibraryImage(const char* firstSection);

// Everything created under the system directory, removed in reverse order on destruction
// (or by Remove). Paths are relative to the system directory.
class SeededTree {
  public:
    SeededTree() = default;
    SeededTree(const SeededTree&) = delete;
    SeededTree& operator=(const SeededTree&) = delete;
    ~SeededTree() { Remove(); }

    bool File(const std::string& relative, const std::vector<unsigned char>& bytes);
    bool Directory(const std::string& relative);
    // A directory link at relative pointing at target (a Unix-style relative path such as "..").
    bool DirectoryLink(const std::string& relative, const std::string& target);
    // Renames a seeded file to a name whose full path is longer than MAX_PATH, which the ANSI
    // file functions cannot create.
    bool RenameBeyondMaxPath(const std::string& relative, const std::string& newName);
    std::string Path(const std::string& relative) const {
        return SystemDirectory() + "\\" + relative;
    }
    void Remove();

  private:
    enum class Kind { File, Directory, Link };
    struct Entry {
        Kind kind;
        std::string path;
        std::string windowsPath;  // links only (path is the Unix one); may be empty
    };
    std::vector<Entry> created_;
};

}  // namespace seed
