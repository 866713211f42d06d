// The shared store tests over a real domain controller: Samba, loaded with the sample.
#include "base/file_io.h"
#include "platform/ldap/ldap_store.h"
#include "samba_dc.h"
#include "support/store_under_test.h"
#include "support/test_files.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace kestrune::testing {

std::string SambaState() {
    const char* state = std::getenv("KESTRUNE_TEST_DC");
    if (!state || !*state) {
        ADD_FAILURE() << "no domain controller: run this program through tests/samba/dc.sh";
        return std::string();
    }
    return state;
}

ldap::Settings SambaSettings(const std::string& address) {
    ldap::Settings settings;
    Expected<void> parsed = ldap::ParseServerUri(address, settings);
    EXPECT_TRUE(parsed) << parsed.error().text;
    std::string state = SambaState();
    settings.bindUser = "Administrator@EXAMPLE.COM";
    if (!state.empty()) settings.password = testing::ReadTestFile(state + "/password");
    settings.timeout = std::chrono::seconds(20);
    return settings;
}

std::shared_ptr<store::DirectoryStore> OpenStoreUnderTest() {
    auto store = std::make_shared<ldap::LdapStore>(SambaSettings());
    std::vector<std::string> notes;
    store::Status status = store->Connect(notes);
    EXPECT_TRUE(status.ok()) << status.message;
    return status.ok() ? store : nullptr;
}

std::string StoreUnderTestName() {
    return "ldap";
}

bool StoreHoldsWholeSample() {
    return false;
}

} // namespace kestrune::testing
