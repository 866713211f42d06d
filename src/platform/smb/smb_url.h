// The smb:// address of a share, as libsmbclient reads it.
#pragma once

#include "base/ansi_string.h"

#include <string>

namespace kestrune::smb {

// smb://server/share/ with both names in UTF-8 and every byte but letters, digits and "-._~"
// percent-encoded, so that no name can be read as a user, a port, a query or a further folder.
// The names are in the ANSI code page, as backup files hold them.
std::string ShareUrl(const AnsiString& server, const AnsiString& share);

} // namespace kestrune::smb
