// The event figures' system pieces for Linux: getrusage, and a click sent through Qt.
#include <QApplication>
#include <QMainWindow>
#include <QMouseEvent>
#include <QTimer>

#include <sys/resource.h>

#include "event_rate_system.h"

double cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void click_drawing_window_after(int ms) {
    QTimer::singleShot(ms, [] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *window = qobject_cast<QMainWindow *>(widget);
            if (window == nullptr || window->objectName() != "DrawWndClass") continue;
            QWidget *client = window->centralWidget();
            const QPointF at(10, 10);
            QMouseEvent press(QEvent::MouseButtonPress, at, client->mapToGlobal(at),
                              Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(client, &press);
        }
    });
}
