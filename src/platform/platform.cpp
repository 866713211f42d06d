#include "platform/platform.h"

#include "base/paths.h"

#include "platform/adsi_over_store/adsi_over_store.h"
#include "platform/netdfs_over_store.h"
#include "platform/store/memory_store.h"

#include <cstdlib>

#ifdef _WIN32
#include "platform/win32/native_platform.h"
#else
#include "base/message_table.h"
#include "adsi/domain_name_forms.h"
#include "platform/directory_errors.h"
#include "platform/ldap/dc_locator.h"
#include "platform/ldap/ldap_store.h"
#endif

namespace kestrune {
#ifndef _WIN32
namespace {

// The system's text for a failed logon or connection, then the server's own words.
std::string Explain(const store::Status& status) {
    std::string text = FormatSystemMessage(static_cast<uint32_t>(AdsiResultOf(status)));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text.empty() ? status.message : text + " (" + status.message + ")";
}

// A domain controller of this computer's domain from DNS, as a domain member finds one.
bool LocateDomainController(ldap::Settings& settings, std::string& error) {
    std::string why;
    std::string domain = ldap::LocalDomainName(why);
    if (domain.empty()) {
        error = "KESTRUNE_PLATFORM=ldap: cannot tell this computer's domain: " + why;
        return false;
    }
    auto dcs = ldap::LookUpServices("_ldap._tcp.dc._msdcs." + domain, why);
    if (dcs.empty()) {
        error = "KESTRUNE_PLATFORM=ldap: no domain controller found for " + domain + ": " + why;
        return false;
    }
    settings.domain = {false, dcs.front().host, dcs.front().port};
    settings.globalCatalog = {false, dcs.front().host, 3268};
    return true;
}

} // namespace
#endif

namespace {
bool writesIntoDirectory = false;
} // namespace

bool PlatformWritesIntoDirectory() {
    return writesIntoDirectory;
}

void InstallStorePlatform(std::shared_ptr<store::DirectoryStore> directory) {
    writesIntoDirectory = false;
    InstallNetDfsApi(std::make_shared<StoreNetDfs>(directory));
    adsi::InstallAdsiPlatform(MakeStoreAdsi(std::move(directory)));
}

void UninstallPlatform() {
    writesIntoDirectory = false;
    InstallNetDfsApi(nullptr);
    adsi::InstallAdsiPlatform(nullptr);
}

bool InstallSimulatedDomain(const std::filesystem::path& file, std::string& error) {
    std::shared_ptr<store::MemoryStore> directory = store::MemoryStore::Open(file, error);
    if (!directory) return false;
    InstallStorePlatform(std::move(directory));
    return true;
}

#ifndef _WIN32
bool InstallLdapDirectory(const std::string& setting, std::string& error,
                          std::vector<std::string>& notes) {
    ldap::Settings settings;
    bool located = setting == "ldap" ? LocateDomainController(settings, error)
                                     : ldap::ParseServerUri(setting, settings, error);
    if (!located || !ldap::ReadLogonSettings(settings, error)) return false;
    bool discovered = setting == "ldap";
    std::string where = settings.domain.Uri();
    auto directory = std::make_shared<ldap::LdapStore>(std::move(settings));
    store::Status status = directory->Connect(notes);
    if (!status.ok()) {
        error = "cannot use the directory at " + where + ": " + Explain(status);
        return false;
    }
    if (discovered) {
        // The forest's global catalogs, when DNS names them apart from this DC.
        std::vector<store::Entry> root;
        store::Status read = store::SearchAll(
            *directory, {"", store::Scope::Base, "(objectClass=*)", {"rootDomainNamingContext"}, 0},
            root);
        if (!read.ok())
            notes.push_back("global catalog: the forest's name could not be read: " +
                            Explain(read));
        std::string why;
        std::string forest =
            root.empty() ? "" : DnToDomainName(root.front().First("rootDomainNamingContext"));
        auto gcs = forest.empty() ? std::vector<ldap::ServiceRecord>()
                                  : ldap::LookUpServices("_gc._tcp." + forest, why);
        if (!gcs.empty()) directory->UseGlobalCatalog({false, gcs.front().host, gcs.front().port});
    }
    InstallStorePlatform(std::move(directory));
    writesIntoDirectory = true;
    return true;
}
#endif

bool InstallPlatformFromEnvironment(std::string& error, std::vector<std::string>* notes) {
    const char* value = std::getenv("KESTRUNE_PLATFORM");
    std::string setting = value ? value : "";
    if (notes) notes->clear();
    writesIntoDirectory = false;
#ifdef _WIN32
    if (setting.empty()) setting = "native"; // a Windows computer reaches its domain itself
#endif
    if (setting.empty() || setting == "none") {
        UninstallPlatform();
        return true;
    }
    if (setting.rfind("sim:", 0) == 0 && setting.size() > 4)
        return InstallSimulatedDomain(PathFromAnsi(setting.substr(4)), error);
#ifndef _WIN32
    if (setting == "ldap" || setting.rfind("ldap://", 0) == 0 ||
        setting.rfind("ldaps://", 0) == 0) {
        std::vector<std::string> found;
        bool installed = InstallLdapDirectory(setting, error, found);
        if (notes) *notes = std::move(found);
        return installed;
    }
#endif
    if (setting == "native") {
#ifdef _WIN32
        return win32::InstallNativePlatform(error);
#else
        error = "KESTRUNE_PLATFORM=native: the Windows DFS and directory interfaces exist only on "
                "Windows (use sim:PATH to an LDIF file, ldap://HOST, ldaps://HOST or ldap)";
        return false;
#endif
    }
#ifdef _WIN32
    error = "KESTRUNE_PLATFORM=" + setting +
            " is not a platform this build knows (sim:PATH to an LDIF file, none, or native)";
#else
    error = "KESTRUNE_PLATFORM=" + setting +
            " is not a platform this build knows (sim:PATH to an LDIF file, ldap://HOST, "
            "ldaps://HOST or ldap; none, or leave it unset)";
#endif
    return false;
}

} // namespace kestrune
