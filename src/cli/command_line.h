// The program's command line without a window: the unattended backup forms and the options
// for scheduled jobs. The Linux program runs it when it has no display or is given options; the
// console program always does.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kestrune {

struct Console {
    std::ostream& out;
    std::ostream& err;
    bool errIsTerminal = false; // progress as a bar rather than lines
    bool outIsTerminal = false; // the bar then steps aside for each line of output
};

// 8-bit text (backup lines, names) as the console shows it: UTF-8.
std::string ConsoleText(const std::string& ansi);

// Whether the arguments ask for the window-free command line: any option ("--...").
bool HasOptions(const std::vector<std::string>& arguments);

// Runs the command line (arguments without the program name, as the system passes them: bytes
// in the user's locale) against the installed platform and returns the exit status.
int RunCommandLine(const std::vector<std::string>& arguments, Console console);

// The usage text, as --help prints it.
std::string UsageText();

} // namespace kestrune
