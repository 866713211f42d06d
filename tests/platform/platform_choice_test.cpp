#include "base/environment.h"
#include "base/win_errors.h"
#include "netdfs/netdfs.h"
#include "platform/platform.h"

#include <gtest/gtest.h>
#ifdef _WIN32
#include "platform/win32/native_platform.h"
#endif

namespace kestrune {
namespace {

NET_API_STATUS EnumerateRoots() {
    uint8_t* buffer = nullptr;
    uint32_t count = 0, resume = 0;
    NET_API_STATUS status =
        NetDfsEnum(u"\\\\example.com", 200, MAX_PREFERRED_LENGTH, &buffer, &count, &resume);
    NetApiBufferFree(buffer);
    return status;
}

class PlatformChoice : public ::testing::Test {
  protected:
    void TearDown() override {
        RemoveProcessEnvironment("KESTRUNE_PLATFORM");
        UninstallPlatform();
    }
    bool Choose(const char* value, std::string& error) {
        SetProcessEnvironment("KESTRUNE_PLATFORM", value);
        return InstallPlatformFromEnvironment(error);
    }
};

TEST_F(PlatformChoice, SimulatedNoneAndUnknownValues) {
    std::string error;
    ASSERT_TRUE(Choose(("sim:" + std::string(KESTRUNE_SAMPLES) + "/example.ldif").c_str(), error))
        << error;
    EXPECT_EQ(EnumerateRoots(), NERR_Success);
    EXPECT_TRUE(Choose("none", error));
    EXPECT_EQ(EnumerateRoots(), ERROR_BAD_NETPATH);

    EXPECT_FALSE(Choose("ldap-ish", error));
    EXPECT_NE(error.find("KESTRUNE_PLATFORM=ldap-ish"), std::string::npos) << error;
    EXPECT_FALSE(Choose("sim:/no/such/folder/domain.ldif", error));
    EXPECT_NE(error.find("domain.ldif"), std::string::npos) << error;
}

// The native interfaces exist only on Windows, and Wine lacks them: asking for them there is
// a clear error, never a call that ends the program.
TEST_F(PlatformChoice, NativeIsRefusedWhereTheInterfacesAreMissing) {
    std::string error;
#ifdef _WIN32
    if (!win32::RunningUnderWine()) GTEST_SKIP() << "a real Windows: the native calls exist";
    EXPECT_FALSE(Choose("native", error));
    EXPECT_NE(error.find("Wine"), std::string::npos) << error;
    // Unset is native on Windows.
    RemoveProcessEnvironment("KESTRUNE_PLATFORM");
    EXPECT_FALSE(InstallPlatformFromEnvironment(error));
#else
    EXPECT_FALSE(Choose("native", error));
    EXPECT_NE(error.find("only on Windows"), std::string::npos) << error;
    RemoveProcessEnvironment("KESTRUNE_PLATFORM");
    EXPECT_TRUE(InstallPlatformFromEnvironment(error));
#endif
    EXPECT_EQ(EnumerateRoots(), ERROR_BAD_NETPATH);
}

} // namespace
} // namespace kestrune
