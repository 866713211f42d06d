// Choosing and installing the platform backends at start-up.
#pragma once

#include "platform/store/directory_store.h"

#include <filesystem>
#include <memory>
#include <string>

namespace kestrune {

// Installs the backends that KESTRUNE_PLATFORM names: "sim:PATH" for the simulated domain in
// the LDIF file PATH; unset or empty for none (as on a computer without a domain). False with
// error set when the value is unknown or its backend cannot be opened; nothing is installed.
bool InstallPlatformFromEnvironment(std::string& error);

// Installs the simulated domain of an LDIF file; its changes are kept in that file.
bool InstallSimulatedDomain(const std::filesystem::path& file, std::string& error);

// Installs backends over an existing store.
void InstallStorePlatform(std::shared_ptr<store::DirectoryStore> directory);

// Removes every backend: calls then fail as without a domain.
void UninstallPlatform();

} // namespace kestrune
