// The system's English message texts for Windows, network and directory status codes.
#pragma once

#include <cstdint>
#include <string>

namespace kestrune {

// The text for code as the system's message table holds it, ending in CR LF like
// FormatMessage's; empty when the table has no text for the code. HRESULTs of the Win32
// facility (0x8007xxxx) give the text of their Win32 code.
std::string FormatSystemMessage(uint32_t code);

} // namespace kestrune
