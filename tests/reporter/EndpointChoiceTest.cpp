// Where the upload library sends files when the reporter names no address: the shipped library
// always to its built-in one, whatever the environment says; only the loopback test build takes
// TARNUP_ENDPOINT, and only for this machine.
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "reporter/tarnup/TarnUp.h"
#include "support/WinFiles.h"

namespace {

const char kVariable[] = "TARNUP_ENDPOINT";

// One build of tarnup.dll, loaded by full path for one test.
class TarnUpLibrary {
  public:
    explicit TarnUpLibrary(const char* buildPath)
        : module_(LoadLibraryA(WindowsPathOf(buildPath).c_str())) {
        open_ = reinterpret_cast<decltype(open_)>(Bind("TarnUpOpen"));
        endpoint_ = reinterpret_cast<decltype(endpoint_)>(Bind("TarnUpEndpoint"));
        close_ = reinterpret_cast<decltype(close_)>(Bind("TarnUpClose"));
    }
    TarnUpLibrary(const TarnUpLibrary&) = delete;
    TarnUpLibrary& operator=(const TarnUpLibrary&) = delete;
    ~TarnUpLibrary() {
        if (module_ != nullptr)
            FreeLibrary(module_);
    }
    bool IsLoaded() const { return open_ != nullptr && endpoint_ != nullptr && close_ != nullptr; }

    // The address a session opened without one talks to; "(none)" when no session opens.
    std::string DefaultEndpoint() const {
        TarnUpSession* session = open_(nullptr, 0, 0);
        if (session == nullptr)
            return "(none)";
        const std::string url = endpoint_(session);
        close_(session);
        return url;
    }

  private:
    void* Bind(const char* name) const {
        return module_ != nullptr ? reinterpret_cast<void*>(GetProcAddress(module_, name))
                                  : nullptr;
    }

    HMODULE module_;
    decltype(&TarnUpOpen) open_ = nullptr;
    decltype(&TarnUpEndpoint) endpoint_ = nullptr;
    decltype(&TarnUpClose) close_ = nullptr;
};

class EndpointChoiceTest : public testing::Test {
  protected:
    void TearDown() override { SetEnvironmentVariableA(kVariable, nullptr); }
};

TEST_F(EndpointChoiceTest, ShippedLibraryIgnoresTheEnvironment) {
    TarnUpLibrary shipped(SHIPPED_TARNUP_PATH);
    ASSERT_TRUE(shipped.IsLoaded()) << SHIPPED_TARNUP_PATH;
    for (const char* url : {"http://127.0.0.1:8123", "https://collector.attacker.example/x"}) {
        ASSERT_TRUE(SetEnvironmentVariableA(kVariable, url));
        EXPECT_EQ(shipped.DefaultEndpoint(), TARNUP_BUILTIN_ENDPOINT) << url;
    }
}

TEST_F(EndpointChoiceTest, TestBuildTakesTheEnvironmentForLoopbackHostsOnly) {
    TarnUpLibrary loopback(LOOPBACK_TARNUP_PATH);
    ASSERT_TRUE(loopback.IsLoaded()) << LOOPBACK_TARNUP_PATH;
    EXPECT_EQ(loopback.DefaultEndpoint(), TARNUP_BUILTIN_ENDPOINT);
    ASSERT_TRUE(SetEnvironmentVariableA(kVariable, "http://127.0.0.1:8123/base"));
    EXPECT_EQ(loopback.DefaultEndpoint(), "http://127.0.0.1:8123/base");
    // Never the real service's or anyone else's address, and never a fall-back to it.
    for (const char* url : {"https://collector.attacker.example/x", "http://127.attacker.example",
                            "http://127.0.0.1:8123/x?y"}) {
        ASSERT_TRUE(SetEnvironmentVariableA(kVariable, url));
        EXPECT_EQ(loopback.DefaultEndpoint(), "(none)") << url;
    }
}

}  // namespace
