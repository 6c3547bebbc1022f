#include "ui/WindowPlacement.h"

PlacementPoint CenteredPosition(long width, long height, const PlacementRect& reference,
                                const PlacementRect& area) {
    PlacementPoint point;
    point.x = (reference.left + reference.right) / 2 - width / 2;
    point.y = (reference.top + reference.bottom) / 2 - height / 2;
    if (point.x < area.left) {
        point.x = area.left;
    } else if (point.x + width > area.right) {
        point.x = area.right - width;
    }
    if (point.y < area.top) {
        point.y = area.top;
    } else if (point.y + height > area.bottom) {
        point.y = area.bottom - height;
    }
    return point;
}
