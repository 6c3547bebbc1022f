#pragma once

// Writes the demo's harmless look-alike files into the system directory. Returns success.
bool SeedDemoFiles();
