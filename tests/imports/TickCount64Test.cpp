#include <windows.h>

#include <cstdint>

#include <gtest/gtest.h>

// cmake/TickCount64.c, linked into every Windows binary of this project.
extern "C" {
uint64_t ExtendTickCount(uint64_t previous, uint32_t now);
ULONGLONG WINAPI TickCount64FromTickCount(void);
extern void* tickCount64Slot __asm__("__imp__GetTickCount64@0");
}

namespace {

TEST(TickCount64Test, CountSurvivesTheWrapOfTheThirtyTwoBitCount) {
    EXPECT_EQ(ExtendTickCount(0x00000000FFFFFFF0ull, 0x00000010u), 0x0000000100000010ull);
    EXPECT_EQ(ExtendTickCount(0x00000005FFFFFFFFull, 0x00000000u), 0x0000000600000000ull);
    EXPECT_EQ(ExtendTickCount(0x0000000500001000ull, 0x00002000u), 0x0000000500002000ull);
    EXPECT_EQ(ExtendTickCount(0x0000000500001000ull, 0x00001000u), 0x0000000500001000ull);
}

TEST(TickCount64Test, XpCountNeverStepsBack) {
    const ULONGLONG first = TickCount64FromTickCount();
    EXPECT_GE(TickCount64FromTickCount(), first);
}

TEST(TickCount64Test, FirstCallBindsKernel32sFunctionWhereItExists) {
    GetTickCount64();
    void* real =
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount64"));
    ASSERT_NE(real, nullptr);  // Wine has it whatever Windows version it reports
    EXPECT_EQ(tickCount64Slot, real);
}

}  // namespace
