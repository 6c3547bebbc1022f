#include "ui/CenterWindow.h"

#include "ui/WindowPlacement.h"

namespace {

PlacementRect FromRect(const RECT& rect) {
    PlacementRect placement;
    placement.left = rect.left;
    placement.top = rect.top;
    placement.right = rect.right;
    placement.bottom = rect.bottom;
    return placement;
}

}  // namespace

void CenterWindow(HWND window, HWND reference) {
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    const bool isChild = (style & WS_CHILD) != 0;
    if (reference == nullptr)
        reference = isChild ? GetParent(window) : GetWindow(window, GW_OWNER);

    RECT windowRect;
    if (!GetWindowRect(window, &windowRect))
        return;

    RECT areaRect;
    RECT referenceRect;
    if (isChild) {
        HWND parent = GetParent(window);
        if (parent == nullptr || !GetClientRect(parent, &areaRect))
            return;
        if (reference == nullptr || !GetClientRect(reference, &referenceRect))
            return;
        MapWindowPoints(reference, parent, reinterpret_cast<POINT*>(&referenceRect), 2);
    } else {
        if (reference != nullptr && (!IsWindowVisible(reference) || IsIconic(reference))) {
            reference = nullptr;
        }
        if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &areaRect, 0))
            return;
        if (reference == nullptr || !GetWindowRect(reference, &referenceRect)) {
            referenceRect = areaRect;
        }
    }

    const PlacementPoint point =
        CenteredPosition(windowRect.right - windowRect.left, windowRect.bottom - windowRect.top,
                         FromRect(referenceRect), FromRect(areaRect));
    SetWindowPos(window, nullptr, point.x, point.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
