// "ADs:", the namespaces object: its children are the providers, and it keeps each user's
// default container.
#pragma once

#include "adsi/adsi.h"
#include "platform/adsi_over_store/forest.h"

namespace kestrune::adsi_store {

std::shared_ptr<adsi::IUnknown> MakeNamespaces(std::shared_ptr<Forest> forest, std::string user);

} // namespace kestrune::adsi_store
