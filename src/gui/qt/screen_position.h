// Placing top-level windows.
#pragma once

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace kestrune {

// Centres the window on the primary screen, as its size is now.
inline void CentreOnScreen(QWidget& window) {
    if (QScreen* screen = QGuiApplication::primaryScreen())
        window.move(screen->availableGeometry().center() - window.rect().center());
}

} // namespace kestrune
