// Text crossing between the windows (QString) and the program (8-bit ANSI code page).
#pragma once

#include "base/ansi_string.h"

#include <QString>

namespace kestrune {

inline QString ToQString(const AnsiString& text) {
    return QString::fromStdU16String(AnsiToWide(text));
}

inline AnsiString ToAnsi(const QString& text) {
    return WideToAnsi(text.toStdU16String());
}

} // namespace kestrune
