#pragma once
// A DetectionReport that records what the scan or the clean tells it, in order, so that their
// reports can be checked without a window.
#include <string>
#include <vector>

#include "detect/DetectionReport.h"

class RecordingReport : public DetectionReport {
  public:
    struct Call {
        enum Kind { kStatus, kFinished } kind;
        std::u16string text;  // the message or summary (u"(null)" for a missing summary)
        bool found = false;
    };

    void UpdateStatus(const char16_t* message) override {
        calls.push_back({Call::kStatus, message});
    }
    DetectionList& Detections() override { return detections; }
    void ScanFinished(const char16_t* summary, bool found) override {
        calls.push_back({Call::kFinished, summary != nullptr ? summary : u"(null)", found});
    }

    DetectionList detections;
    std::vector<Call> calls;
};
