// The Qt desktop backend under Qt's offscreen platform, driven by real Qt input events
// sent to its widgets: clicks, typed keys, the menu bar and the close box, seen through
// the events the library returns and the pixels the windows show.
#include <gtest/gtest.h>

#include <QAction>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QTest>
#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <cstdlib>
#include <functional>
#include <vector>

#include "testing.h"

// Qt's own entry to its shortcut map (what a real key press meets before the widget).
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject *o, ulong timestamp, int k,
                                               Qt::KeyboardModifiers mods, const QString &text,
                                               bool autorep, ushort count);

namespace {

QMainWindow *top_level(const char *class_name) {
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String(class_name))
            return qobject_cast<QMainWindow *>(widget);
    }
    return nullptr;
}

QWidget *client_of(const char *class_name) {
    QMainWindow *window = top_level(class_name);
    return window != nullptr ? window->centralWidget() : nullptr;
}

void open_library() {
    ASSERT_EQ(KANVO_open(nullptr, nullptr, "", KANVO_SHOW_NORMAL), 1);
    ASSERT_NE(client_of("DrawWndClass"), nullptr);
    ASSERT_NE(client_of("TextWndClass"), nullptr);
}

// Input arrives from Qt's event loop while the library's wait blocks in it.
void soon(int ms, std::function<void()> action) { QTimer::singleShot(ms, action); }

void press_left(QWidget *widget, QPoint at) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), widget->mapToGlobal(QPointF(at)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at),
                        widget->mapToGlobal(QPointF(at)), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &release);
}

// A key as the platform delivers it: first offered to the shortcut map, then to the
// focused widget unless a shortcut took it. Returns false when a shortcut took it.
bool send_key(QWidget *widget, QEvent::Type type, int key, Qt::KeyboardModifiers modifiers,
              const QString &text = QString(), bool autorepeat = false) {
    if (type == QEvent::KeyPress &&
        qt_sendShortcutOverrideEvent(widget->window()->windowHandle(), 0, key, modifiers, text, autorepeat,
                                     1))
        return false;
    QKeyEvent event(type, key, modifiers, text, autorepeat);
    QCoreApplication::sendEvent(widget, &event);
    return true;
}

struct Event {
    int kind, x, y;
    char key;
};

Event await() {
    Event event{0, 0, 0, 0};
    event.kind = KANVO_await_event(&event.x, &event.y, &event.key);
    return event;
}

QList<QAction *> run_menu_actions() {
    QMainWindow *window = top_level("DrawWndClass");
    const QList<QAction *> bar = window->menuBar()->actions();
    if (bar.size() != 1 || bar[0]->menu() == nullptr) return {};
    return bar[0]->menu()->actions();
}

QAction *menu_action(const char *text) {
    for (QAction *action : run_menu_actions()) {
        if (action->text() == QLatin1String(text)) return action;
    }
    return nullptr;
}

}  // namespace

TEST(QtBackend, DrawingWindowShowsTheSurfaceAndReportsClicksInLibraryCoordinates) {
    open_library();
    QMainWindow *window = top_level("DrawWndClass");
    QWidget *client = client_of("DrawWndClass");
    // A client area of 585 by 481 whatever the frame, the menu bar right above it, the
    // frame's corner at (0, 0), not resizable.
    EXPECT_EQ(window->windowTitle(), "KANVO Graphics");
    EXPECT_EQ(client->size(), QSize(585, 481));
    EXPECT_EQ(kanvo.windows.draw_window->client.width(), 585);
    EXPECT_EQ(kanvo.windows.draw_window->client.height(), 481);
    EXPECT_EQ(kanvo.windows.origin_x, 292);
    EXPECT_EQ(kanvo.windows.origin_y, 240);
    const QRect bar = window->menuBar()->geometry();
    EXPECT_GT(bar.height(), 0);
    EXPECT_EQ(client->geometry(), QRect(0, bar.bottom() + 1, 585, 481));
    EXPECT_EQ(window->size(), QSize(585, bar.height() + 481));
    EXPECT_EQ(window->frameGeometry().topLeft(), QPoint(0, 0));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_TRUE(window->windowHandle()->minimumSize() == window->windowHandle()->maximumSize());

    KANVO_logging(0);
    KANVO_clear();
    KANVO_circle(KANVO_RED, 0, 0, 20);
    QWidget *target = client;
    soon(20, [target] { press_left(target, QPoint(kanvo.windows.origin_x, kanvo.windows.origin_y)); });
    Event centre = await();
    EXPECT_EQ(centre.kind, KANVO_MOUSE);
    EXPECT_EQ(centre.x, 0);
    EXPECT_EQ(centre.y, 0);
    EXPECT_EQ(centre.key, 0);

    soon(20, [target] { press_left(target, QPoint(0, 0)); });
    Event corner = await();
    EXPECT_EQ(corner.kind, KANVO_MOUSE);
    EXPECT_EQ(corner.x, -kanvo.windows.origin_x);
    EXPECT_EQ(corner.y, kanvo.windows.origin_y);

    // What the window shows: the circle at the origin, the frame at the top left.
    const QImage shown = client->grab().toImage();
    EXPECT_EQ(shown.pixel(kanvo.windows.origin_x, kanvo.windows.origin_y), 0xFFFF0000u);
    EXPECT_EQ(shown.pixel(kanvo.windows.origin_x + 30, kanvo.windows.origin_y), 0xFFFFFFFFu);
    EXPECT_EQ(shown.pixel(0, 0), 0xFF000000u);
}

TEST(QtBackend, KeysTypedInTheTextWindowActAsInTheDrawingWindow) {
    open_library();
    QMainWindow *text = top_level("TextWndClass");
    QWidget *client = client_of("TextWndClass");
    const int screen = QGuiApplication::primaryScreen()->geometry().height();
    EXPECT_EQ(text->windowTitle(), "KANVO Text");
    // Like the drawing window's, its client area is what the outer size leaves.
    EXPECT_EQ(text->frameGeometry().topLeft(), QPoint(0, 550));
    EXPECT_EQ(client->size(), QSize(601 - 16, screen / 3 - 39));
    EXPECT_EQ(kanvo.windows.text_window->client.height(), screen / 3 - 39);
    text->activateWindow();
    client->setFocus();

    soon(10, [client] {
        send_key(client, QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
        send_key(client, QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, "a");
    });
    Event typed = await();
    EXPECT_EQ(typed.kind, KANVO_KBD);
    EXPECT_EQ(typed.key, 'a');
    EXPECT_EQ(kanvo.events.animation_running, 0);

    // Ctrl+A: no menu shortcut may take it, the keys reach the window and start the
    // animation; no key event comes of it.
    bool reached = false;
    soon(10, [client, &reached] {
        send_key(client, QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
        reached = send_key(client, QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, "\x01");
    });
    soon(120, [client] {
        send_key(client, QEvent::KeyRelease, Qt::Key_A, Qt::ControlModifier, "\x01");
        send_key(client, QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier);
    });
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 4; ++i) EXPECT_EQ(await().kind, KANVO_PERIODIC);
    EXPECT_TRUE(reached);
    EXPECT_EQ(kanvo.events.animation_running, 1);
    EXPECT_EQ(kanvo.windows.ctrl_down, 0);
    // Four ticks at about ten a second take some time: the wait blocked on the timer.
    EXPECT_GE(clock.elapsed(), 250);
}

TEST(QtBackend, MenuBarShowsTheRunMenuWithChecksThatFollowTheFlags) {
    open_library();
    QMainWindow *window = top_level("DrawWndClass");
    const QList<QAction *> bar = window->menuBar()->actions();
    ASSERT_EQ(bar.size(), 1);
    EXPECT_EQ(bar[0]->text(), "&Run");
    const QList<QAction *> items = run_menu_actions();
    ASSERT_EQ(items.size(), 16);
    const std::vector<int> separators{3, 5, 9, 11};
    for (int i = 0; i < items.size(); ++i) {
        const bool separator = std::find(separators.begin(), separators.end(), i) != separators.end();
        EXPECT_EQ(items[i]->isSeparator(), separator) << i;
        EXPECT_EQ(items[i]->isEnabled(), i < 12) << i;
        EXPECT_EQ(items[i]->isChecked(), i == 4) << i;
        // The shortcut column is text only: the keys must reach the window.
        EXPECT_TRUE(items[i]->shortcut().isEmpty()) << i;
    }
    EXPECT_EQ(items[0]->text(), "&Animate\tCtrl+A");
    EXPECT_EQ(items[4]->text(), "&Logging\tCtrl+L");
    EXPECT_EQ(items[10]->text(), "&Quit\tCtrl+Q");

    KANVO_logging(0);
    for (QAction *item : items) EXPECT_FALSE(item->isChecked());

    // Choosing Logging and Record puts their checks on once the commands are handled.
    QWidget *client = client_of("DrawWndClass");
    soon(10, [client] {
        menu_action("&Logging\tCtrl+L")->trigger();
        menu_action("&Record Script\tCtrl+R")->trigger();
        press_left(client, QPoint(1, 1));
    });
    EXPECT_EQ(await().kind, KANVO_MOUSE);
    EXPECT_TRUE(menu_action("&Logging\tCtrl+L")->isChecked());
    EXPECT_TRUE(menu_action("&Record Script\tCtrl+R")->isChecked());
    EXPECT_FALSE(menu_action("&Playback Script\tCtrl+P")->isChecked());
    EXPECT_EQ(kanvo.events.logging_on, 1);
    EXPECT_EQ(kanvo.script.recording_on, 1);
    KANVO_close();
    std::remove("KANVO.SCR");
}

TEST(QtBackend, QuitFromTheMenuEndsTheWait) {
    open_library();
    soon(20, [] { menu_action("&Quit\tCtrl+Q")->trigger(); });
    EXPECT_EQ(await().kind, KANVO_QUIT);
}

TEST(QtBackend, GrayedMenuLinesCannotBeChosen) {
    open_library();
    QAction *info = run_menu_actions().at(13);
    ASSERT_FALSE(info->isEnabled());
    QWidget *client = client_of("DrawWndClass");
    soon(10, [info, client] {
        info->trigger();  // a disabled action ignores this
        press_left(client, QPoint(5, 5));
    });
    EXPECT_EQ(await().kind, KANVO_MOUSE);
}

TEST(QtBackend, ClosingTheDrawingWindowEndsTheWait) {
    open_library();
    QMainWindow *window = top_level("DrawWndClass");
    soon(20, [window] { window->close(); });
    EXPECT_EQ(await().kind, KANVO_QUIT);
    EXPECT_TRUE(kanvo.windows.draw_window->destroyed);
    EXPECT_EQ(top_level("DrawWndClass"), nullptr);
    EXPECT_NE(top_level("TextWndClass"), nullptr);
}

TEST(QtBackend, QtsNoiseStaysOutOfTheTerminalRealErrorsDoNot) {
    open_library();
    testing::internal::CaptureStderr();
    qWarning("QStandardPaths: XDG_RUNTIME_DIR not set, defaulting to '/tmp/runtime-kanvo'");
    qWarning("This plugin does not support propagateSizeHints()");
    qWarning("qt.qpa.wayland: Wayland does not support QWindow::requestActivate()");
    qDebug("a debugging line");
    qWarning("QPainter::begin: Paint device returned engine == 0, type: 3");
    qCritical("cannot load the platform plugin");
    const std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_EQ(shown.find("XDG_RUNTIME_DIR"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("propagateSizeHints"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("requestActivate"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("debugging"), std::string::npos) << shown;
    EXPECT_NE(shown.find("QPainter::begin: Paint device returned engine == 0"), std::string::npos)
        << shown;
    EXPECT_NE(shown.find("cannot load the platform plugin"), std::string::npos) << shown;
}

// Below the library: what key messages the backend posts for Qt's key events.
namespace {

std::vector<platform::Message> received;

intptr_t record_procedure(platform::Window *window, uint32_t type, uintptr_t wparam,
                          intptr_t lparam) {
    if (type == platform::msg::key_down || type == platform::msg::key_up ||
        type == platform::msg::character || type == platform::msg::left_button_down)
        received.push_back({window, type, wparam, lparam});
    return platform::default_window_procedure(window, type, wparam, lparam);
}

// Runs the queue until it is empty (a short timer marks the end).
void drain(platform::Window *window) {
    platform::set_timer(window, 7, 1);
    platform::Message message;
    while (platform::get_message(&message)) {
        if (message.type == platform::msg::timer) break;
        platform::translate_message(message);
        platform::dispatch_message(message);
    }
    platform::kill_timer(window, 7);
}

}  // namespace

TEST(QtBackend, ClickGivesTheLeftButtonFlagAndTheClientPosition) {
    platform::set_backend(platform::make_desktop_backend());
    ASSERT_TRUE(platform::register_class({"RecordClass", record_procedure, platform::kWhite}));
    platform::Window *window =
        platform::create_window("RecordClass", "mouse", platform::style::overlapped_window, 0,
                                0, 200, 100);
    platform::show_window(window, platform::show::normal);
    QWidget *client = static_cast<QMainWindow *>(window->native)->centralWidget();
    press_left(client, QPoint(17, 23));
    drain(window);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].type, platform::msg::left_button_down);
    EXPECT_EQ(received[0].wparam, platform::mouse_flag::left_button);
    EXPECT_EQ(received[0].lparam, (23 << 16) | 17);
}

TEST(QtBackend, KeyEventsBecomeVirtualKeysAndLatin1Characters) {
    platform::set_backend(platform::make_desktop_backend());
    ASSERT_TRUE(platform::register_class({"RecordClass", record_procedure, platform::kWhite}));
    platform::Window *window =
        platform::create_window("RecordClass", "keys", platform::style::overlapped_window, 0, 0,
                                200, 100);
    platform::show_window(window, platform::show::normal);
    QWidget *client = static_cast<QMainWindow *>(window->native)->centralWidget();
    // What reaches the window procedure for one key event: (type, wparam, character).
    struct Seen {
        uint32_t type;
        uintptr_t wparam;
        uint32_t character;
        bool repeat;
        bool operator==(const Seen &other) const {
            return type == other.type && wparam == other.wparam &&
                   character == other.character && repeat == other.repeat;
        }
    };
    auto seen_for = [&](QEvent::Type type, int key, Qt::KeyboardModifiers modifiers,
                        const QString &text, bool autorepeat = false) {
        received.clear();
        send_key(client, type, key, modifiers, text, autorepeat);
        drain(window);
        std::vector<Seen> seen;
        for (const platform::Message &message : received) {
            const bool key_down = message.type == platform::msg::key_down;
            seen.push_back({message.type, message.wparam,
                            key_down ? platform::key_character(message.lparam) : 0,
                            key_down && (message.lparam & (intptr_t(1) << 30)) != 0});
        }
        return seen;
    };
    using platform::msg::character;
    using platform::msg::key_down;
    using platform::msg::key_up;
    const auto P = QEvent::KeyPress, R = QEvent::KeyRelease;
    using V = std::vector<Seen>;
    EXPECT_EQ(seen_for(P, Qt::Key_A, Qt::ShiftModifier, "A"),
              (V{{key_down, 'A', 'A', false}, {character, 'A', 0, false}}));
    EXPECT_EQ(seen_for(P, Qt::Key_Exclam, Qt::ShiftModifier, "!"),
              (V{{key_down, '1', '!', false}, {character, '!', 0, false}}));
    EXPECT_EQ(seen_for(P, Qt::Key_F5, Qt::NoModifier, ""), (V{{key_down, 116, 0, false}}));
    EXPECT_EQ(seen_for(P, Qt::Key_7, Qt::KeypadModifier, "7"),
              (V{{key_down, 103, '7', false}, {character, '7', 0, false}}));
    // Ctrl gives the letter's control character, whatever the platform's text says.
    EXPECT_EQ(seen_for(P, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier, "A"),
              (V{{key_down, 'A', 1, false}, {character, 1, 0, false}}));
    EXPECT_EQ(seen_for(P, Qt::Key_Tab, Qt::NoModifier, "\t"),
              (V{{key_down, 9, 9, false}, {character, 9, 0, false}}));
    EXPECT_EQ(seen_for(P, Qt::Key_Left, Qt::NoModifier, ""), (V{{key_down, 37, 0, false}}));
    // Enter, Backspace, Tab and Escape type 13, 8, 9 and 27, also without platform text.
    for (auto [key, code] : {std::pair{Qt::Key_Return, 13}, std::pair{Qt::Key_Enter, 13},
                             std::pair{Qt::Key_Backspace, 8}, std::pair{Qt::Key_Tab, 9},
                             std::pair{Qt::Key_Escape, 27}}) {
        const uint32_t typed = uint32_t(code);
        EXPECT_EQ(seen_for(P, key, Qt::NoModifier, ""),
                  (V{{key_down, typed, typed, false}, {character, typed, 0, false}}))
            << code;
    }
    EXPECT_EQ(seen_for(P, Qt::Key_Adiaeresis, Qt::NoModifier, QString(QChar(0xE4))),
              (V{{key_down, 0, 0xE4, false}, {character, 0xE4, 0, false}}));
    EXPECT_EQ(seen_for(P, Qt::Key_Z, Qt::NoModifier, QString(QChar(0x3B1))),
              (V{{key_down, 'Z', 0, false}}));
    // Auto-repeat: repeated presses that say the key was down, no releases between them.
    EXPECT_EQ(seen_for(P, Qt::Key_B, Qt::NoModifier, "b", true),
              (V{{key_down, 'B', 'b', true}, {character, 'b', 0, false}}));
    EXPECT_EQ(seen_for(R, Qt::Key_B, Qt::NoModifier, "b", true), V{});
    EXPECT_EQ(seen_for(R, Qt::Key_Control, Qt::NoModifier, ""), (V{{key_up, 17, 0, false}}));
}

TEST(QtBackend, WithoutADisplayTheProgramSaysWhatToDoAndExits) {
    const char *line = "^kanvo: no display found - run this program on a desktop, or under "
                       "xvfb-run\n$";
    // No display server named at all.
    EXPECT_EXIT(
        {
            setenv("QT_QPA_PLATFORM", "xcb", 1);
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            KANVO_open(nullptr, nullptr, "", KANVO_SHOW_NORMAL);
        },
        testing::ExitedWithCode(1), line);
    // A display that cannot be reached: Qt's failure becomes the same single line.
    EXPECT_EXIT(
        {
            setenv("QT_QPA_PLATFORM", "xcb", 1);
            setenv("DISPLAY", ":97", 1);
            KANVO_open(nullptr, nullptr, "", KANVO_SHOW_NORMAL);
        },
        testing::ExitedWithCode(1), line);
}

// Ctrl with keys that are no letters: the key codes of F2, F3 and the keypad's 1 are those
// of the lower-case q, r and a, and must not quit, record or animate.
TEST(QtBackend, CtrlWithFunctionAndKeypadKeysDoesNothing) {
    open_library();
    QWidget *client = client_of("DrawWndClass");
    client->setFocus();
    soon(10, [client] {
        send_key(client, QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
        for (int key : {int(Qt::Key_F2), int(Qt::Key_F3)}) {
            send_key(client, QEvent::KeyPress, key, Qt::ControlModifier);
            send_key(client, QEvent::KeyRelease, key, Qt::ControlModifier);
        }
        send_key(client, QEvent::KeyPress, Qt::Key_1, Qt::ControlModifier | Qt::KeypadModifier);
        send_key(client, QEvent::KeyRelease, Qt::Key_1, Qt::ControlModifier | Qt::KeypadModifier);
        send_key(client, QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier);
        press_left(client, QPoint(3, 3));
    });
    EXPECT_EQ(await().kind, KANVO_MOUSE);
    EXPECT_EQ(kanvo.events.animation_running, 0);
    EXPECT_EQ(kanvo.script.recording_on, 0);
}

// Ctrl pressed in the window and released elsewhere: the next plain keys are plain keys.
TEST(QtBackend, CtrlReleasedElsewhereDoesNotStayDown) {
    open_library();
    QWidget *client = client_of("DrawWndClass");
    client->setFocus();
    soon(10, [client] {
        send_key(client, QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
        send_key(client, QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier, "q");
    });
    Event q = await();
    EXPECT_EQ(q.kind, KANVO_KBD);
    EXPECT_EQ(q.key, 'q');

    // Losing the focus lets go of Ctrl as well.
    soon(10, [client] {
        send_key(client, QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
        QFocusEvent out(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
        QCoreApplication::sendEvent(client, &out);
        press_left(client, QPoint(3, 3));
    });
    EXPECT_EQ(await().kind, KANVO_MOUSE);
    EXPECT_EQ(kanvo.windows.ctrl_down, 0);
}

// Opening the Run menu with the mouse and closing it with Escape leaves the keyboard with
// the window: the next Ctrl shortcut acts at once.
TEST(QtBackend, ShortcutsWorkRightAfterTheMenuIsClosedWithEscape) {
    open_library();
    QMainWindow *window = top_level("DrawWndClass");
    QWidget *client = client_of("DrawWndClass");
    window->activateWindow();
    client->setFocus();
    QMenuBar *bar = window->menuBar();
    soon(10, [bar] {
        const QPoint run = bar->actionGeometry(bar->actions().at(0)).center();
        QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, run);
    });
    bool menu_opened = false;
    soon(60, [&menu_opened] {
        QWidget *popup = QApplication::activePopupWidget();
        menu_opened = popup != nullptr;
        if (popup) QTest::keyClick(popup, Qt::Key_Escape);
    });
    soon(110, [window] {
        // Keys go where the platform sends them: to whatever has the focus now.
        QWindow *handle = window->windowHandle();
        QTest::keyPress(handle, Qt::Key_Control, Qt::ControlModifier);
        QTest::keyClick(handle, Qt::Key_A, Qt::ControlModifier);
        QTest::keyRelease(handle, Qt::Key_Control, Qt::NoModifier);
    });
    soon(700, [client] { press_left(client, QPoint(3, 3)); });  // should the keys be lost
    EXPECT_EQ(await().kind, KANVO_PERIODIC);
    EXPECT_TRUE(menu_opened);
    EXPECT_EQ(kanvo.events.animation_running, 1);
}
