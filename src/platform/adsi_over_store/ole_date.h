// Time values as ADSI hands them out: OLE dates.
#pragma once

#include <string>

namespace kestrune {

// "20261201090000.0Z" as an OLE date (days since 30 December 1899); 0 when unreadable.
double OleDateFromGeneralizedTime(const std::string& text);

} // namespace kestrune
