#include "ui/LinkGeometry.h"

namespace {
const uint32_t kCenterBit = 0x1;  // SS_CENTER
const uint32_t kRightBit = 0x2;   // SS_RIGHT
}  // namespace

LinkAlignment LinkAlignmentFromStyle(uint32_t style) {
    if (style & kCenterBit)
        return LinkAlignment::Center;
    if (style & kRightBit)
        return LinkAlignment::Right;
    return LinkAlignment::Left;
}

bool StaticStyleShowsPicture(uint32_t style) {
    // The low byte: 3 SS_ICON .. 9 SS_WHITEFRAME; 13 SS_OWNERDRAW, 14 SS_BITMAP,
    // 15 SS_ENHMETAFILE.
    const uint32_t type = style & 0xFF;
    return (type >= 3 && type <= 9) || (type >= 13 && type <= 15);
}

long LinkRectShift(LinkAlignment alignment, long clientRight, long textRight) {
    switch (alignment) {
        case LinkAlignment::Center:
            return (clientRight - textRight) / 2;
        case LinkAlignment::Right:
            return clientRight - textRight;
        case LinkAlignment::Left:
        default:
            return 0;
    }
}
