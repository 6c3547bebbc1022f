#pragma once

class DetectionReport;

// One complete scan, run on a thread of its own with a DetectionReport* as its argument.
void __cdecl ScanWorker(void* detectionReport);

// End of a scan: reports the summary, or the all-clear when nothing was found.
void FinishScan(DetectionReport& report);
