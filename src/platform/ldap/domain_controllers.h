// The domain controllers of another domain of the forest, as the configuration partition lists
// them: DFS data is not in the global catalog, so each domain's own DC must be asked.
#pragma once

#include "base/expected.h"
#include "platform/store/directory_store.h"

#include <string>
#include <vector>

namespace kestrune::ldap {

// The DNS names of the servers whose nTDSDSA object holds the domain (msDS-hasDomainNCs, or
// hasMasterNCs where the former is not kept); an error when the search fails or finds none.
Expected<std::vector<std::string>> FindDomainControllers(store::DirectoryStore& directory,
                                                         const std::string& domainDn);

} // namespace kestrune::ldap
