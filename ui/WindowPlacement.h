#pragma once

// Rectangle arithmetic for centring a window, free of any window system call.
struct PlacementRect {
    long left = 0;
    long top = 0;
    long right = 0;
    long bottom = 0;
    long Width() const { return right - left; }
    long Height() const { return bottom - top; }
};

struct PlacementPoint {
    long x = 0;
    long y = 0;
};

// Top-left corner that centres a window of the given size on the reference rectangle, kept
// inside the limiting area. Halves truncate toward zero; a window larger than the area is placed
// at the area's left and top edges.
PlacementPoint CenteredPosition(long width, long height, const PlacementRect& reference,
                                const PlacementRect& area);
