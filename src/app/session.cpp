#include "app/session.h"

#include <QMessageBox>
#include <cstdio>

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

void ShowErrorMessage(QWidget* parent, const QString& caption, const QString& text) {
    if (!headless) {
        QMessageBox::critical(parent, caption, text);
        return;
    }
    std::fprintf(stderr, "kestrune: %s\n", text.toLocal8Bit().constData());
    if (exitStatus == 0) exitStatus = 1;
}

} // namespace kestrune
