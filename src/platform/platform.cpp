#include "platform/platform.h"

#include "base/paths.h"

#include "platform/adsi_over_store/adsi_over_store.h"
#include "platform/adsi_over_store/errors.h"
#include "platform/memory_store/memory_store.h"
#include "platform/netdfs_over_store/netdfs_over_store.h"

#include <cstdlib>

#ifdef _WIN32
#include "platform/win32/native_platform.h"
#else
#include "adsi/domain_name_forms.h"
#include "base/message_table.h"
#include "platform/ldap/dc_locator.h"
#include "platform/ldap/domain_controllers.h"
#include "platform/ldap/ldap_store.h"
#include "platform/ldap/pdc_emulator.h"
#include "platform/store/dn.h"
#endif

namespace kestrune {
#ifndef _WIN32
namespace {

// The system's text for a failed logon or connection, then the server's own words.
std::string Explain(const store::Status& status) {
    std::string text = SystemMessageText(static_cast<uint32_t>(adsi_store::AdsiResultOf(status)));
    return text.empty() ? status.message : text + " (" + status.message + ")";
}

// A domain controller of this computer's domain from DNS, as a domain member finds one.
Expected<void> LocateDomainController(ldap::Settings& settings) {
    Expected<std::string> domain = ldap::LocalDomainName();
    if (!domain)
        return Error{0, "KESTRUNE_PLATFORM=ldap: cannot tell this computer's domain: " +
                            domain.error().text};
    auto dcs = ldap::LookUpServices("_ldap._tcp.dc._msdcs." + *domain);
    if (!dcs)
        return Error{0, "KESTRUNE_PLATFORM=ldap: no domain controller found for " + *domain + ": " +
                            dcs.error().text};
    settings.domain = {false, dcs->front().host, dcs->front().port};
    settings.globalCatalog = {false, dcs->front().host, 3268};
    return {};
}

// Where the namespaces are read and written: the domain's PDC emulator, which namespace servers
// read (the directory in use when it is that, or cannot be reached); writer says which.
std::shared_ptr<store::DirectoryStore>
NamespaceStore(const std::shared_ptr<store::DirectoryStore>& directory, ldap::Settings settings,
               NamespaceWriterInfo& writer) {
    const std::string inUse = settings.domain.host;
    Expected<ldap::PdcEmulator> pdc = ldap::FindPdcEmulator(*directory);
    if (!pdc) {
        writer.text = inUse + " (the PDC emulator was not found: " + pdc.error().text +
                      "; namespace servers see the changes after replication)";
        return directory;
    }
    const std::string found =
        " (the PDC emulator of " + DnToDomainName(pdc->domain) + ", its fSMORoleOwner)";
    if (pdc->connected) {
        writer = {inUse + found, true};
        return directory;
    }
    settings.domain.host = pdc->host;
    auto emulator = std::make_shared<ldap::LdapStore>(std::move(settings));
    std::vector<std::string> ignored;
    store::Status status = emulator->Connect(ignored);
    if (!status.ok()) {
        writer.text = inUse + " (the PDC emulator " + pdc->host +
                      " cannot be reached: " + Explain(status) +
                      "; namespace servers see the changes after replication)";
        return directory;
    }
    writer = {pdc->host + found, true};
    return emulator;
}

} // namespace
#endif

namespace {
bool writesIntoDirectory = false;
NamespaceWriterInfo namespaceWriter;
#ifndef _WIN32
// The LDAP platform as installed, so that the namespaces of another domain can be read from
// that domain's own DC and those of the first domain again afterwards.
struct InstalledLdap {
    ldap::Settings settings;
    std::shared_ptr<store::DirectoryStore> directory, namespaces;
    NamespaceWriterInfo writer;
};
std::optional<InstalledLdap> installedLdap;
#endif

void InstallBackends(std::shared_ptr<store::DirectoryStore> namespaces,
                     std::shared_ptr<store::DirectoryStore> directory) {
    writesIntoDirectory = false;
    namespaceWriter = {};
    InstallNetDfsApi(std::make_shared<StoreNetDfs>(std::move(namespaces)));
    adsi::InstallAdsiPlatform(MakeStoreAdsi(std::move(directory)));
}
} // namespace

bool PlatformWritesIntoDirectory() {
    return writesIntoDirectory;
}

const NamespaceWriterInfo& NamespaceWriter() {
    return namespaceWriter;
}

void InstallStorePlatform(std::shared_ptr<store::DirectoryStore> directory) {
    InstallStorePlatform(directory, directory);
}

void InstallStorePlatform(std::shared_ptr<store::DirectoryStore> namespaces,
                          std::shared_ptr<store::DirectoryStore> directory) {
#ifndef _WIN32
    installedLdap.reset();
#endif
    InstallBackends(std::move(namespaces), std::move(directory));
}

void UninstallPlatform() {
#ifndef _WIN32
    installedLdap.reset();
#endif
    writesIntoDirectory = false;
    namespaceWriter = {};
    InstallNetDfsApi(nullptr);
    adsi::InstallAdsiPlatform(nullptr);
}

Expected<void> InstallSimulatedDomain(const std::filesystem::path& file) {
    Expected<std::unique_ptr<store::MemoryStore>> directory = store::MemoryStore::Open(file);
    if (!directory) return directory.error();
    InstallStorePlatform(std::move(*directory));
    return {};
}

#ifndef _WIN32
Expected<void> InstallLdapDirectory(const std::string& setting, std::vector<std::string>& notes) {
    ldap::Settings settings;
    Expected<void> located = setting == "ldap" ? LocateDomainController(settings)
                                               : ldap::ParseServerUri(setting, settings);
    if (!located) return located;
    if (Expected<void> logon = ldap::ReadLogonSettings(settings); !logon) return logon;
    bool discovered = setting == "ldap";
    std::string where = settings.domain.Uri();
    const ldap::Settings pdcSettings = settings;
    auto directory = std::make_shared<ldap::LdapStore>(std::move(settings));
    store::Status status = directory->Connect(notes);
    if (!status.ok())
        return Error{0, "cannot use the directory at " + where + ": " + Explain(status)};
    if (discovered) {
        // The forest's global catalogs, when DNS names them apart from this DC.
        std::vector<store::Entry> root;
        store::Status read = store::SearchAll(
            *directory, {"", store::Scope::Base, "(objectClass=*)", {"rootDomainNamingContext"}, 0},
            root);
        if (!read.ok())
            notes.push_back("global catalog: the forest's name could not be read: " +
                            Explain(read));
        std::string forest =
            root.empty() ? "" : DnToDomainName(root.front().First("rootDomainNamingContext"));
        // Without them the DC in use answers as the global catalog.
        if (!forest.empty())
            if (auto gcs = ldap::LookUpServices("_gc._tcp." + forest))
                directory->UseGlobalCatalog({false, gcs->front().host, gcs->front().port});
    }
    NamespaceWriterInfo writer;
    std::shared_ptr<store::DirectoryStore> namespaces =
        NamespaceStore(directory, pdcSettings, writer);
    InstallStorePlatform(namespaces, directory);
    writesIntoDirectory = true;
    namespaceWriter = writer;
    installedLdap = InstalledLdap{pdcSettings, directory, namespaces, std::move(writer)};
    return {};
}
#endif

Expected<void> UseDomainForNamespaces(const std::string& domainDn) {
#ifdef _WIN32
    (void)domainDn;
    return {};
#else
    if (!installedLdap) return {};
    const InstalledLdap& installed = *installedLdap;
    auto use = [&](std::shared_ptr<store::DirectoryStore> namespaces, NamespaceWriterInfo writer) {
        InstallBackends(std::move(namespaces), installed.directory);
        writesIntoDirectory = true;
        namespaceWriter = std::move(writer);
    };
    std::vector<store::Entry> root;
    store::Status read = store::SearchAll(
        *installed.directory,
        {"", store::Scope::Base, "(objectClass=*)", {"defaultNamingContext"}, 0}, root);
    if (!read.ok() || root.empty())
        return Error{0, "the directory in use cannot be read: " + Explain(read)};
    if (store::NormalizeDn(root.front().First("defaultNamingContext")) ==
        store::NormalizeDn(domainDn)) {
        use(installed.namespaces, installed.writer);
        return {};
    }
    Expected<std::vector<std::string>> hosts =
        ldap::FindDomainControllers(*installed.directory, domainDn);
    if (!hosts) return hosts.error();
    std::string failures;
    for (const std::string& host : *hosts) {
        ldap::Settings settings = installed.settings;
        settings.domain.host = host;
        auto controller = std::make_shared<ldap::LdapStore>(settings);
        std::vector<std::string> ignored;
        store::Status status = controller->Connect(ignored);
        if (!status.ok()) {
            failures += (failures.empty() ? "" : "; ") + host + ": " + Explain(status);
            continue;
        }
        NamespaceWriterInfo writer;
        std::shared_ptr<store::DirectoryStore> namespaces =
            NamespaceStore(controller, settings, writer);
        use(std::move(namespaces), std::move(writer));
        return {};
    }
    return Error{0, "no domain controller of " + DnToDomainName(domainDn) + " can be reached (" +
                        failures + ")"};
#endif
}

Expected<void> InstallPlatformFromEnvironment(std::vector<std::string>* notes) {
    const char* value = std::getenv("KESTRUNE_PLATFORM");
    std::string setting = value ? value : "";
    if (notes) notes->clear();
    writesIntoDirectory = false;
#ifdef _WIN32
    if (setting.empty()) setting = "native"; // a Windows computer reaches its domain itself
#endif
    if (setting.empty() || setting == "none") {
        UninstallPlatform();
        return {};
    }
    if (setting.rfind("sim:", 0) == 0 && setting.size() > 4)
        return InstallSimulatedDomain(PathFromAnsi(setting.substr(4)));
#ifndef _WIN32
    if (setting == "ldap" || setting.rfind("ldap://", 0) == 0 ||
        setting.rfind("ldaps://", 0) == 0) {
        std::vector<std::string> found;
        Expected<void> installed = InstallLdapDirectory(setting, found);
        if (notes) *notes = std::move(found);
        return installed;
    }
#endif
    if (setting == "native") {
#ifdef _WIN32
        return win32::InstallNativePlatform();
#else
        return Error{0, "KESTRUNE_PLATFORM=native: the Windows DFS and directory interfaces exist "
                        "only on Windows (use sim:PATH to an LDIF file, ldap://HOST, ldaps://HOST "
                        "or ldap)"};
#endif
    }
#ifdef _WIN32
    return Error{0, "KESTRUNE_PLATFORM=" + setting +
                        " is not a platform this build knows (sim:PATH to an LDIF file, none, or "
                        "native)"};
#else
    return Error{0, "KESTRUNE_PLATFORM=" + setting +
                        " is not a platform this build knows (sim:PATH to an LDIF file, "
                        "ldap://HOST, ldaps://HOST or ldap; none, or leave it unset)"};
#endif
}

} // namespace kestrune
