#include "ui/LinkGeometry.h"

namespace {
// A static's type is a number in the style's low five bits (SS_TYPEMASK), not a set of flags:
// SS_SIMPLE (11) has the SS_CENTER bit set and still draws its text on the left.
const uint32_t kTypeMask = 0x1F;  // SS_TYPEMASK
const uint32_t kCenter = 0x1;     // SS_CENTER
const uint32_t kRight = 0x2;      // SS_RIGHT
}  // namespace

LinkAlignment LinkAlignmentFromStyle(uint32_t style) {
    switch (style & kTypeMask) {
        case kCenter:
            return LinkAlignment::Center;
        case kRight:
            return LinkAlignment::Right;
        default:
            return LinkAlignment::Left;
    }
}

bool StaticStyleShowsPicture(uint32_t style) {
    // 3 SS_ICON .. 9 SS_WHITEFRAME; 13 SS_OWNERDRAW, 14 SS_BITMAP, 15 SS_ENHMETAFILE,
    // 16 .. 18 the etched lines and frame. Flags above the type (SS_REALSIZECONTROL and the
    // like) do not change it.
    const uint32_t type = style & kTypeMask;
    return (type >= 3 && type <= 9) || (type >= 13 && type <= 18);
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
