#pragma once

// 1 when the file is a PE image whose first section is named ".Upack" (any case), else 0. A file
// that cannot be opened or read, or whose headers are damaged, gives 0.
int IsUpackImage(const char* path);
