// Object GUIDs as the directory stores them: 16 bytes, the first three fields little-endian.
#pragma once

#include <string>

namespace kestrune::store {

// A random (version 4) GUID.
std::string RandomGuid();
// A GUID derived from a name: the same name always gives the same GUID.
std::string NameGuid(const std::string& name);
// xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx, lower case.
std::string GuidText(const std::string& guid);

} // namespace kestrune::store
