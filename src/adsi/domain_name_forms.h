// A domain's two names: the dotted DNS form (sales.example.com) and the distinguished-name form
// (DC=sales,DC=example,DC=com). Pure text functions, shared by the directory component and the
// directory platforms.
#pragma once

#include "base/ansi_string.h"

namespace kestrune {

// sales.example.com -> DC=sales,DC=example,DC=com; a name without a dot is returned as is.
AnsiString DomainNameToDn(const AnsiString& name);
// DC=sales,DC=example,DC=com -> sales.example.com; attribute types are dropped whatever they
// are; a name without "=" is returned as is.
AnsiString DnToDomainName(const AnsiString& name);

} // namespace kestrune
