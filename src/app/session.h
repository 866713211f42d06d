// How this run of the program was started and how it will end.
#pragma once

#include "backup/run_report.h"

#include <QString>

class QWidget;

namespace kestrune {

// True when the program found no display and runs offscreen by itself: nobody can see or
// close a message box, so messages go to standard error instead.
bool RunningHeadless();
void SetRunningHeadless(bool headless);

// The status the program ends with (0 unless a failure set it).
int ExitStatus();
void SetExitStatus(int status);
// Raises the status to status unless a graver one is already set.
void SetExitStatusAtLeast(int status);

// An error message box with one OK button; headless, the text goes to standard error and
// the exit status becomes non-zero.
void ShowErrorMessage(QWidget* parent, const QString& caption, const QString& text);

} // namespace kestrune
