#pragma once
#include <cstdint>

// Which file a path led to: its volume's serial number and its index there. A file keeps both
// while it is renamed or moved within its volume; another file put in its place has other ones.
struct FileIdentity {
    std::uint32_t volume = 0;
    std::uint32_t indexHigh = 0;
    std::uint32_t indexLow = 0;
};

inline bool operator==(const FileIdentity& a, const FileIdentity& b) {
    return a.volume == b.volume && a.indexHigh == b.indexHigh && a.indexLow == b.indexLow;
}
inline bool operator!=(const FileIdentity& a, const FileIdentity& b) {
    return !(a == b);
}
