#pragma once
#include <string>

// The fixed text that heads everything shown in the status box.
const std::string& StatusBanner();
