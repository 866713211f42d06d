// The SIDs behind SDDL's aliases of a domain's groups (DA, DU, EA, ...): the domain's objectSid
// and the forest root domain's, as the directory holds them.
#pragma once

#include "base/ansi_string.h"
#include "base/expected.h"
#include "base/security_descriptor.h"

namespace kestrune {

// The SIDs of the domain named as example.com (or DC=example,DC=com) and of its forest's root
// domain. An error says which could not be read and why.
Expected<DomainSids> ReadDomainSids(const AnsiString& domain);

} // namespace kestrune
