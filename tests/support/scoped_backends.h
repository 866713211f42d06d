// A DFS or directory backend installed for a scope and removed at its end: the backends are
// process-wide, and a test that stops at a failed assertion must not leave its fake behind.
#pragma once

#include "adsi/adsi.h"
#include "netdfs/netdfs.h"

#include <memory>

namespace kestrune::testing {

class ScopedNetDfsApi {
  public:
    explicit ScopedNetDfsApi(std::shared_ptr<NetDfsApi> api) { InstallNetDfsApi(std::move(api)); }
    ~ScopedNetDfsApi() { InstallNetDfsApi(nullptr); }
    ScopedNetDfsApi(const ScopedNetDfsApi&) = delete;
    ScopedNetDfsApi& operator=(const ScopedNetDfsApi&) = delete;
};

class ScopedAdsiPlatform {
  public:
    explicit ScopedAdsiPlatform(std::shared_ptr<adsi::AdsiPlatform> platform) {
        adsi::InstallAdsiPlatform(std::move(platform));
    }
    ~ScopedAdsiPlatform() { adsi::InstallAdsiPlatform(nullptr); }
    ScopedAdsiPlatform(const ScopedAdsiPlatform&) = delete;
    ScopedAdsiPlatform& operator=(const ScopedAdsiPlatform&) = delete;
};

} // namespace kestrune::testing
