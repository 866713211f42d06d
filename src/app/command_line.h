// The arguments the program was started with (the program name excluded).
#pragma once

#include "base/ansi_string.h"

#include <vector>

namespace kestrune {

void SetCommandLineArguments(std::vector<AnsiString> arguments);
const std::vector<AnsiString>& CommandLineArguments();

} // namespace kestrune
