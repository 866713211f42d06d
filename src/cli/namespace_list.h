// The namespaces of a domain, as the DFS component lists them.
#pragma once

#include "dfs/toxldfs.h"

#include <string>
#include <vector>

namespace kestrune {

struct NamespaceList {
    std::vector<WideString> names; // in the user's locale order, case ignored
    std::string error;             // why the list could not be read; empty when it could
};

// domain is the dotted name.
NamespaceList ListNamespaces(TOXLDFS& dfs, const AnsiString& domain);

} // namespace kestrune
