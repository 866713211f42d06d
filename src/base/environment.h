// The process environment: the block of NAME=value strings, and changing one variable.
#pragma once

#include "base/ansi_string.h"

#include <vector>

namespace kestrune {

// Every NAME=value string of the environment, in the system's order (Windows also lists
// hidden "=C:=C:\..." entries, whose name begins with "=").
std::vector<AnsiString> EnvironmentStrings();

// Sets NAME to value for this process and the programs it starts (on Windows an empty value
// removes it).
void SetProcessEnvironment(const char* name, const AnsiString& value);
void RemoveProcessEnvironment(const char* name);

} // namespace kestrune
