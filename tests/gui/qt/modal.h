// Answers the next modal window of a type from a timer, for code that blocks in exec().
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace kestrune::testing {

// Polls until a visible modal window of type T is active, then hands it to answer. Arm it
// before the call that blocks.
template <typename T> void WhenModal(std::function<void(T*)> answer, int timeoutMs = 10000) {
    auto* timer = new QTimer;
    auto waited = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, answer, waited, timeoutMs] {
        *waited += 20;
        T* window = dynamic_cast<T*>(QApplication::activeModalWidget());
        if ((window && window->isVisible()) || *waited > timeoutMs) {
            timer->stop();
            timer->deleteLater();
            if (window) answer(window);
        }
    });
    timer->start(20);
}

} // namespace kestrune::testing
