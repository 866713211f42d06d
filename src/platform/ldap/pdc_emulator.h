// The domain's PDC emulator: namespace servers read a domain namespace from it, so changes to
// one are written there (as Windows' own tools write them) rather than waiting for replication
// from another domain controller.
#pragma once

#include "base/expected.h"
#include "platform/store/directory_store.h"

#include <string>

namespace kestrune::ldap {

struct PdcEmulator {
    std::string domain;     // the domain's DN
    std::string dsa;        // its nTDSDSA object: the domain head's fSMORoleOwner
    std::string host;       // the dNSHostName of that object's server
    bool connected = false; // the directory answering is the PDC emulator itself (dsServiceName)
};

// Found from the directory's own domain: the head's fSMORoleOwner names the PDC emulator's
// nTDSDSA object, whose parent server object holds its DNS name. An error says which step
// failed.
Expected<PdcEmulator> FindPdcEmulator(store::DirectoryStore& directory);

} // namespace kestrune::ldap
