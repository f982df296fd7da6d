// Game figures on the desktop backend (Qt): the paddle game's frame at 60 ticks a second
// with an arrow held (periodic events per second, processor time), how long a key press
// takes to reach the program's wait, and what a mouse moving 1,000 times a second becomes
// (move events per wait). The input goes through Qt's own event path into the window.
//   game_rate [seconds per figure]
#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMouseEvent>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "kanvo.h"

namespace {

double now_seconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

QWidget *client_area() {
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *window = qobject_cast<QMainWindow *>(widget);
        if (window != nullptr && window->objectName() == "DrawWndClass") return window->centralWidget();
    }
    return nullptr;
}

void send_key(QEvent::Type type, int key) {
    QKeyEvent event(type, key, Qt::NoModifier);
    QCoreApplication::sendEvent(client_area(), &event);
}

// The paddle game's frame: cleared, the field, the paddle, the ball, the score.
void paddle_frame(int paddle_x, int frame) {
    KANVO_clear();
    KANVO_rectangle(KANVO_NAVY_BLUE, -292, 240, 292, -240, 0);
    KANVO_rectangle(KANVO_GOLD, paddle_x - 45, -200, paddle_x + 45, -212, 0);
    KANVO_circle(KANVO_WHITE, (frame * 5) % 560 - 280, 150 - (frame * 6) % 380, 8);
    KANVO_printf(KANVO_WHITE, -280, 220, 14, "score %d   lives %d", frame / 100, 3);
}

int wait_event() {
    int x = 0, y = 0;
    char key = 0;
    return KANVO_await_event(&x, &y, &key);
}

}  // namespace

int main(int argc, char **argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 4.0;
    if (!(seconds > 0.0 && seconds < 3600.0)) {
        std::fprintf(stderr, "usage: game_rate [seconds per figure]\n");
        return 2;
    }
    KANVO_open(nullptr, nullptr, "", KANVO_SHOW_NORMAL);
    KANVO_logging(0);
    KANVO_listen(KANVO_LISTEN_KEYS | KANVO_LISTEN_MOTION);
    KANVO_tick_rate(60);
    KANVO_animate(KANVO_ANIMATE_RUN);
    for (int i = 0; i < 30; ++i) wait_event();  // the windows shown and settled

    // (a) the paddle game at 60 ticks a second, the right arrow held.
    send_key(QEvent::KeyPress, Qt::Key_Right);
    int ticks = 0, paddle_x = -200;
    double start = now_seconds(), cpu = cpu_seconds();
    while (now_seconds() - start < seconds) {
        if (wait_event() == KANVO_PERIODIC) {
            ++ticks;
            if (KANVO_key_down(KANVO_KEY_RIGHT)) paddle_x = (paddle_x + 5) % 250;
        }
        paddle_frame(paddle_x, ticks);
    }
    const double game_wall = now_seconds() - start, game_cpu = cpu_seconds() - cpu;
    send_key(QEvent::KeyRelease, Qt::Key_Right);

    // (b) key presses at moments that fall anywhere between two ticks: the time from the
    // press to the wait that returns it.
    std::vector<double> delays;
    double pressed_at = 0;
    for (int press = 0; press < 40; ++press) {
        const int after_ms = 5 + (press * 7) % 23;
        QTimer::singleShot(after_ms, [&pressed_at] {
            pressed_at = now_seconds();
            send_key(QEvent::KeyPress, Qt::Key_Space);
        });
        for (int kind = 0; kind != KANVO_KEY_DOWN;) {
            kind = wait_event();
            if (kind == KANVO_KEY_DOWN) delays.push_back((now_seconds() - pressed_at) * 1000);
            paddle_frame(paddle_x, ticks);
        }
        send_key(QEvent::KeyRelease, Qt::Key_Space);
        while (KANVO_key_down(KANVO_KEY_SPACE)) wait_event();
    }
    std::sort(delays.begin(), delays.end());

    // (c) the mouse moves 1,000 times a second for the whole figure.
    QWidget *client = client_area();
    int sent = 0;
    QTimer mover;
    mover.setTimerType(Qt::PreciseTimer);
    const double moves_start = now_seconds();
    QObject::connect(&mover, &QTimer::timeout, [&] {
        // The moves the timer could not send while the program drew go out now.
        const int due = int((now_seconds() - moves_start) * 1000);
        for (; sent < due; ++sent) {
            const QPointF at(10 + sent % 500, 10 + (sent / 500) % 400);
            QMouseEvent move(QEvent::MouseMove, at, client->mapToGlobal(at), Qt::NoButton,
                             Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(client, &move);
        }
    });
    mover.start(1);
    int waits = 0, move_events = 0, periodic = 0;
    cpu = cpu_seconds();
    while (now_seconds() - moves_start < seconds) {
        const int kind = wait_event();
        ++waits;
        if (kind == KANVO_MOUSE_MOVE) ++move_events;
        if (kind == KANVO_PERIODIC) ++periodic;
        paddle_frame(paddle_x, waits);
    }
    mover.stop();
    const double moves_wall = now_seconds() - moves_start, moves_cpu = cpu_seconds() - cpu;

    std::printf("paddle game, 60 ticks a second, an arrow held: %.1f periodic events a second, "
                "%.2f %% of a core\n",
                ticks / game_wall, 100.0 * game_cpu / game_wall);
    std::printf("key press to the wait that returns it (%zu presses): median %.2f ms, "
                "longest %.2f ms (a tick is 16.7 ms)\n",
                delays.size(), delays[delays.size() / 2], delays.back());
    std::printf("mouse moving %.0f times a second: %.0f move events a second in %.0f waits a "
                "second (one event per wait at most), %.1f periodic events a second, "
                "%.2f %% of a core\n",
                sent / moves_wall, move_events / moves_wall, waits / moves_wall,
                periodic / moves_wall, 100.0 * moves_cpu / moves_wall);
    KANVO_close();
    return 0;
}
