#include "app/session.h"

#include "app/message_box.h"

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

void ShowErrorMessage(QWidget* parent, const QString& caption, const QString& text) {
    ShowMessageBox(parent, MessageKind::Error, caption, text);
    if (headless) SetExitStatusAtLeast(kExitFailure);
}

} // namespace kestrune
