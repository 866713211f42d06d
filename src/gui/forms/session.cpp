#include "gui/forms/session.h"

#include "backup/run_report.h"
#include "gui/forms/message_box.h"

namespace kestrune {
namespace {
bool headless = false;
int exitStatus = 0;
} // namespace

bool RunningHeadless() {
    return headless;
}
void SetRunningHeadless(bool value) {
    headless = value;
}
int ExitStatus() {
    return exitStatus;
}
void SetExitStatus(int status) {
    exitStatus = status;
}

void SetExitStatusAtLeast(int status) {
    exitStatus = GraverExitStatus(exitStatus, status);
}

void ShowErrorMessage(FormWindow* owner, const std::string& caption, const std::string& text) {
    ShowMessageBox(owner, MessageKind::Error, caption, text);
    if (headless) SetExitStatusAtLeast(kExitFailure);
}

} // namespace kestrune
