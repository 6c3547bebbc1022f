#include "app/StatusBanner.h"

const std::string& StatusBanner() {
    // Built on first use and kept for the rest of the run.
    static const std::string banner =
        "Vormak 盗号木马专杀 v1.0\r\n简介：\r\n使用驱动保护\r\n盗号各种网游和IM用户信息。\r\n";
    return banner;
}
