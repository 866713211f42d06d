#include "platform/platform.h"

#include "platform/adsi_over_store.h"
#include "platform/netdfs_over_store.h"
#include "platform/store/memory_store.h"

#include <cstdlib>

namespace kestrune {

void InstallStorePlatform(std::shared_ptr<store::DirectoryStore> directory) {
    InstallNetDfsApi(std::make_shared<StoreNetDfs>(directory));
    adsi::InstallAdsiPlatform(MakeStoreAdsi(std::move(directory)));
}

void UninstallPlatform() {
    InstallNetDfsApi(nullptr);
    adsi::InstallAdsiPlatform(nullptr);
}

bool InstallSimulatedDomain(const std::filesystem::path& file, std::string& error) {
    std::shared_ptr<store::MemoryStore> directory = store::MemoryStore::Open(file, error);
    if (!directory) return false;
    InstallStorePlatform(std::move(directory));
    return true;
}

bool InstallPlatformFromEnvironment(std::string& error) {
    const char* value = std::getenv("KESTRUNE_PLATFORM");
    std::string setting = value ? value : "";
    if (setting.empty()) {
        UninstallPlatform();
        return true;
    }
    if (setting.rfind("sim:", 0) == 0 && setting.size() > 4)
        return InstallSimulatedDomain(setting.substr(4), error);
    error = "KESTRUNE_PLATFORM=" + setting +
            " is not a platform this build knows (use sim:PATH to an LDIF file, or leave it unset)";
    return false;
}

} // namespace kestrune
