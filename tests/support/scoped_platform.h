// Backends installed for a scope and removed at its end, so that no test leaves its domain
// installed for the next one (the platform is process-wide).
#pragma once

#include "platform/platform.h"
#include "platform/store/directory_store.h"

#include <filesystem>
#include <memory>

namespace kestrune::testing {

class ScopedPlatform {
  public:
    explicit ScopedPlatform(std::shared_ptr<store::DirectoryStore> directory) {
        InstallStorePlatform(std::move(directory));
    }
    ~ScopedPlatform() { UninstallPlatform(); }
    ScopedPlatform(const ScopedPlatform&) = delete;
    ScopedPlatform& operator=(const ScopedPlatform&) = delete;
};

// The simulated domain of an LDIF file for a scope; installed() says whether it could be read.
class ScopedSimulatedDomain {
  public:
    explicit ScopedSimulatedDomain(const std::filesystem::path& file)
        : installed_(InstallSimulatedDomain(file)) {}
    ~ScopedSimulatedDomain() { UninstallPlatform(); }
    ScopedSimulatedDomain(const ScopedSimulatedDomain&) = delete;
    ScopedSimulatedDomain& operator=(const ScopedSimulatedDomain&) = delete;

    const Expected<void>& installed() const { return installed_; }

  private:
    Expected<void> installed_;
};

} // namespace kestrune::testing
