// Entry point of every end-to-end test program: --app=<vormak.exe> --artifacts=<folder>.
#include <windows.h>

#include <cstdio>

#include <gtest/gtest.h>

#include "e2e/harness/AppDriver.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (!e2e::ParseOptions(argc, argv)) {
        std::fprintf(stderr, "usage: %s --app=<vormak.exe> [--artifacts=<dir>]\n", argv[0]);
        return 2;
    }
    // The program's texts and file names are code page 936: a prefix without it tests nothing.
    if (GetACP() != 936) {
        std::fprintf(stderr, "ANSI code page is %u, not 936: set LANG=zh_CN.UTF-8\n", GetACP());
        return 3;
    }
    return RUN_ALL_TESTS();
}
