#pragma once
#include "detect/DetectionList.h"

// What the scan and the clean report to. The user interface that drives them implements it, so
// that neither needs a window: the scan calls it from its own thread, the clean from the caller's.
// Messages are UTF-16, so that every path shows as the system names it.
class DetectionReport {
  public:
    // Shows a message as the whole status text. Called from the scan's thread, it should not
    // wait for a window to repaint: the scan shows progress as it walks, and a message may be
    // shown later or replaced by a newer one before it is shown.
    virtual void UpdateStatus(const char16_t* message) = 0;
    // The list the scan fills and the clean empties.
    virtual DetectionList& Detections() = 0;
    // The scan's end, and its last touch of this object: the summary to show (nullptr when
    // there was no memory to compose it) and whether anything was found.
    virtual void ScanFinished(const char16_t* summary, bool found) = 0;

  protected:
    ~DetectionReport() = default;
};
