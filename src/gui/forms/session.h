// How this run of the program was started and how it will end.
#pragma once

#include "gui/forms/controls.h"

#include <string>

namespace kestrune {

// True when nobody can see the windows (no display, or an offscreen platform): a message box
// could never be closed, so messages go to standard error instead.
bool RunningHeadless();
void SetRunningHeadless(bool headless);

// The status the program ends with (0 unless a failure set it).
int ExitStatus();
void SetExitStatus(int status);
// Raises the status to status unless a graver one is already set.
void SetExitStatusAtLeast(int status);

// An error message box with one OK button; headless, the text goes to standard error and
// the exit status becomes non-zero.
void ShowErrorMessage(FormWindow* owner, const std::string& caption, const std::string& text);

} // namespace kestrune
