#pragma once
#include <string>

// The fixed text that heads everything shown in the status box.
const std::string& StatusBanner();

// The whole text the status box shows for a message: StatusBanner followed by the message.
std::string ComposeStatusText(const char* message);
