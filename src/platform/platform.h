// Choosing and installing the platform backends at start-up.
#pragma once

#include "base/expected.h"

#include "platform/store/directory_store.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace kestrune {

// Installs the backends that KESTRUNE_PLATFORM names: "sim:PATH" for the simulated domain in
// the LDIF file PATH; "ldap://HOST[:PORT]" or "ldaps://HOST[:PORT]" for that domain
// controller and "ldap" for one found through DNS (not on Windows); "native" for the real Windows
// interfaces (Windows only; the default there); "none" for none, as on a computer without a
// domain (the default elsewhere). False with error set when the value is unknown or its backend
// cannot be opened or logged on to; nothing is installed then. notes, when given, receives one
// line for each fact about this session that the directory did not give (user, computer, site).
Expected<void> InstallPlatformFromEnvironment(std::vector<std::string>* notes = nullptr);

#ifndef _WIN32
// Installs a real directory over LDAP; setting is "ldap", "ldap://..." or "ldaps://...".
Expected<void> InstallLdapDirectory(const std::string& setting, std::vector<std::string>& notes);
#endif

// Installs the simulated domain of an LDIF file; its changes are kept in that file.
Expected<void> InstallSimulatedDomain(const std::filesystem::path& file);

// Installs backends over an existing store.
void InstallStorePlatform(std::shared_ptr<store::DirectoryStore> directory);
// The same with the namespaces read and written in a store of their own.
void InstallStorePlatform(std::shared_ptr<store::DirectoryStore> namespaces,
                          std::shared_ptr<store::DirectoryStore> directory);

// The namespaces of the domain (its DN) are read and written from now on where that domain's
// DFS data is: over LDAP a domain controller of that domain, found in the configuration
// partition (its PDC emulator where that answers), since the DFS attributes are not in the
// global catalog; the first domain's again when it is that one. With the simulated forest and
// Windows' interfaces, which reach every domain themselves, nothing changes. An error names the
// domain controllers tried and why none answered; the backends in use stay then.
Expected<void> UseDomainForNamespaces(const std::string& domainDn);

// Removes every backend: calls then fail as without a domain.
void UninstallPlatform();

// Whether the installed backends write links straight into a real directory over LDAP: the
// namespace servers then serve them only once they read the directory again. False for the
// simulated domain, for none, and for Windows' own interfaces, which go through a namespace
// server.
bool PlatformWritesIntoDirectory();

// With PlatformWritesIntoDirectory: the domain controller that namespace changes are written
// to, and why that one: "dc1.example.com (the PDC emulator of example.com, its
// fSMORoleOwner)", or the one in use with the reason the PDC emulator is not. Empty otherwise.
struct NamespaceWriterInfo {
    std::string text;
    bool pdcEmulator = false; // the writes go to the domain's PDC emulator
};
const NamespaceWriterInfo& NamespaceWriter();

} // namespace kestrune
