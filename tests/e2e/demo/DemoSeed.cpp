#include "e2e/demo/DemoSeed.h"

// Nothing to seed until the scan looks for files.
bool SeedDemoFiles() {
    return true;
}
