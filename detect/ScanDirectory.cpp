#include "detect/ScanDirectory.h"

#include <windows.h>

#include <memory>
#include <new>
#include <set>
#include <tuple>
#include <vector>

#include "detect/DetectionReport.h"
#include "detect/NameTest.h"
#include "detect/UpackImage.h"
#include "win/NtFiles.h"
#include "win/UniqueHandle.h"
#include "win/WideText.h"

namespace {

const char16_t kSearchMask[] = u"\\*.dll";
const char16_t kCompanionExtension[] = u".cfg";
const char16_t kFileProgressPrefix[] = u"正在扫描磁盘文件 ";
// Each status update shown is a repaint of the box (about 1.7 ms under Wine, far more in an
// emulated machine): shown about every other file it was most of a scan's time. At most one per
// interval reads the same to a person.
const DWORD kFileProgressIntervalMs = 50;

// The directories walked in one scan, by volume and file index, so that a link pointing back
// up the tree (or anywhere already seen) ends there instead of looping.
class VisitedDirectories {
  public:
    // False when the directory was walked before in this scan.
    bool Enter(const WidePath& directory) {
        FileIdentity identity;
        bool isFolder = false;
        // Without an identity the directory is still walked; the walk's bounds then end a loop.
        if (!GetPathIdentity(directory, identity, isFolder))
            return true;
        try {
            return seen_
                .insert(std::make_tuple(identity.volume, identity.indexHigh, identity.indexLow))
                .second;
        } catch (const std::bad_alloc&) {
            return true;
        }
    }

  private:
    std::set<std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>> seen_;
};

// Depth first, in the order the searches give the entries, as a recursion would go; the open
// searches are kept on the heap, so a deep tree costs no stack.
class DirectoryWalk {
  public:
    explicit DirectoryWalk(DetectionReport& report) : report_(report) {}

    void Run(const WidePath& directory) {
        path_ = directory;
        Enter();
        while (!levels_.empty()) {
            Level& level = *levels_.back();
            if (!level.pending && !FindNextFileW(level.search.Get(), &level.entry)) {
                levels_.pop_back();
                continue;
            }
            level.pending = false;
            const wchar_t* name = level.entry.cFileName;
            const std::size_t nameLength = wcslen(name);
            // An entry whose path would pass the bound is passed over.
            if (level.nameStart + nameLength > kLongestWalkedPath)
                continue;
            path_.resize(level.nameStart - 1);
            path_ += u'\\';
            path_.append(reinterpret_cast<const char16_t*>(name), nameLength);
            if (level.entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (name[0] != L'.')
                    Enter();  // may add a level: `level` is not used after this
                continue;
            }
            ScanFile(level.nameStart);
        }
    }

  private:
    struct Level {
        FindHandle search;
        WIN32_FIND_DATAW entry;
        std::size_t nameStart = 0;
        bool pending = true;  // entry holds a result not yet dealt with
    };

    // Starts the search of the directory path_ names.
    void Enter() {
        if (directories_ >= kMostWalkedDirectories || !visited_.Enter(path_))
            return;
        ++directories_;
        std::unique_ptr<Level> level(new Level);
        level->nameStart = path_.size() + 1;
        const WidePath mask = LongPathForm(path_ + kSearchMask);
        level->search.Reset(FindFirstFileW(WideChars(mask), &level->entry));
        if (level->search.IsValid())
            levels_.push_back(std::move(level));
    }

    // path_ holds directory + "\" + name of a file entry.
    void ScanFile(std::size_t nameStart) {
        // Every other file or so, chosen by the clock, but only after the interval has passed
        // since the last update: counted from its end, so that a report that does wait for a
        // repaint still leaves the interval to the walk.
        const DWORD now = GetTickCount();
        if ((now & 1) && (!shownProgress_ || now - lastProgress_ >= kFileProgressIntervalMs)) {
            shownProgress_ = true;
            report_.UpdateStatus((kFileProgressPrefix + path_).c_str());
            lastProgress_ = GetTickCount();
        }
        if (!PassesNameTest(std::u16string_view(path_).substr(nameStart)))
            return;
        FileIdentity identity;
        if (!IsUpackImage(WideChars(LongPathForm(path_)), identity))
            return;
        report_.Detections().Add(path_, identity);

        const std::size_t dot = path_.rfind(u'.');
        if (dot == WidePath::npos || dot < nameStart)
            return;
        path_.replace(dot, WidePath::npos, kCompanionExtension);
        if (GetPathIdentity(path_, identity))
            report_.Detections().Add(path_, identity);
    }

    DetectionReport& report_;
    WidePath path_;  // the working path: a directory, or a directory and an entry's name
    std::vector<std::unique_ptr<Level>> levels_;
    VisitedDirectories visited_;
    unsigned directories_ = 0;
    bool shownProgress_ = false;
    DWORD lastProgress_ = 0;
};

}  // namespace

void ScanDirectory(DetectionReport& report, const WidePath& directory) {
    try {
        DirectoryWalk walk(report);
        walk.Run(directory);
    } catch (const std::bad_alloc&) {
        // Out of memory: the walk ends here; what it listed stays listed.
    }
}
