// "ADs:", the namespaces object: its children are the providers, and it keeps each user's
// default container.
#pragma once

#include "directory/adsi.h"
#include "platform/adsi/forest.h"

namespace kestrune::adsi_store {

std::shared_ptr<adsi::IUnknown> MakeNamespaces(std::shared_ptr<Forest> forest, std::string user);

} // namespace kestrune::adsi_store
