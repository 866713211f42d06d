// TNTADS: the Active Directory component.
#pragma once

#include "base/ansi_string.h"

namespace kestrune {

class TNTADS {
  public:
    // sales.example.com -> DC=sales,DC=example,DC=com; a name without a dot is returned as is.
    static AnsiString CorrectDomain(const AnsiString& name);
    // DC=sales,DC=example,DC=com -> sales.example.com; attribute types are dropped whatever
    // they are; a name without "=" is returned as is.
    static AnsiString ToDotname(const AnsiString& name);
};

} // namespace kestrune
