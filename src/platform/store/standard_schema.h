// Active Directory's standard classes, for a directory whose file holds no schema objects (an
// export without its schema, or a file written by hand): with them a class name in an
// objectCategory filter, the attribute lists of a class and the rules of where an object may
// be placed work as on a real domain.
#pragma once

#include "platform/store/directory_store.h"

#include <string_view>
#include <vector>

namespace kestrune::store {

// The standard classes as classSchema entries under schemaNc (lDAPDisplayName, cn,
// defaultObjectCategory, subClassOf, systemAuxiliaryClass, systemMustContain,
// systemMayContain, systemPossSuperiors, objectClassCategory).
std::vector<Entry> StandardClassEntries(std::string_view schemaNc);

} // namespace kestrune::store
