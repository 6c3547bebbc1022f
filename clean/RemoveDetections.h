#pragma once
#include "detect/DetectionReport.h"

// Clean: deletes every listed file, or schedules it for deletion at the next restart when it is
// in use, shows each path with its outcome as the status and empties the list. Does nothing
// when the list is empty.
void RemoveDetections(DetectionReport& report);
