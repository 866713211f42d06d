// The ADSystemInfo object: the computer's domain, forest and roles from the rootDSE, and what
// only the local computer knows from the rootDSE's kestruneLocal* attributes.
#pragma once

#include "adsi/adsi.h"
#include "platform/adsi_over_store/forest.h"

namespace kestrune::adsi_store {

std::shared_ptr<adsi::IUnknown> MakeSystemInfo(std::shared_ptr<Forest> forest);

} // namespace kestrune::adsi_store
