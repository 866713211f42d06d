// The system's English message texts for Windows, network and directory status codes.
#pragma once

#include <cstdint>
#include <string>

namespace kestrune {

// The text for code as the system's message table holds it, ending in CR LF like
// FormatMessage's; empty when the table has no text for the code. HRESULTs of the Win32
// facility (0x8007xxxx) give the text of their Win32 code.
std::string FormatSystemMessage(uint32_t code);

// That text without its line end, to stand inside a sentence.
std::string SystemMessageText(uint32_t code);

// A status as a message shows it: the code in decimal (signed, as Windows prints an HRESULT),
// ": " and the system's text ("87: The parameter is incorrect."; "12345:" without a text).
std::string StatusText(uint32_t status);

} // namespace kestrune
