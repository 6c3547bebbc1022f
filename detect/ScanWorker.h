#pragma once

class MainDialog;

// One complete scan, run on a thread of its own with the MainDialog as its argument.
void __cdecl ScanWorker(void* mainDialog);

// End of a scan: enables Scan, shows the summary or the all-clear, enables Clean when
// something was found.
void FinishScan(MainDialog* dialog);
