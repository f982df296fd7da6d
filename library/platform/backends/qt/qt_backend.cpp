// The desktop backend: Qt 6 top-level widgets for the platform's windows, a real menu bar
// built from each window's menu model, and Qt's input turned into the platform's key,
// mouse, close and command messages. Runs on X11, Wayland and Qt's offscreen platform.
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/window.h"

namespace platform {
namespace {

// ---- reaching a display ---------------------------------------------------------------

const char kNoDisplayLine[] =
    "kanvo: no display found - run this program on a desktop, or under xvfb-run\n";

[[noreturn]] void exit_without_display() {
    std::fputs(kNoDisplayLine, stderr);
    std::fflush(stderr);
    std::_Exit(1);
}

bool env_set(const char *name) {
    const char *value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

// Whether one of Qt's platform names (without its ":options") can show windows here.
bool platform_reachable(const std::string &name) {
    if (name == "xcb") return env_set("DISPLAY");
    if (name.rfind("wayland", 0) == 0) return env_set("WAYLAND_DISPLAY");
    return !name.empty();  // offscreen, minimal, vnc, linuxfb, eglfs: no display server
}

// QT_QPA_PLATFORM may list several platforms separated by ';', Qt tries them in order.
bool display_reachable() {
    const char *requested = std::getenv("QT_QPA_PLATFORM");
    if (requested == nullptr || requested[0] == '\0')
        return env_set("DISPLAY") || env_set("WAYLAND_DISPLAY");
    std::string list = requested;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(';', start);
        if (end == std::string::npos) end = list.size();
        std::string entry = list.substr(start, end - start);
        if (platform_reachable(entry.substr(0, entry.find(':')))) return true;
        start = end + 1;
    }
    return false;
}

// ---- Qt's messages ----------------------------------------------------------------------

// Warnings that say nothing a learner can act on: a session without a runtime directory,
// a platform that ignores size hints or activation requests, a desktop that asks for
// another platform, the X server's complaints about windows the window manager already
// closed. Everything else (real errors included) still reaches standard error.
const char *const kNoiseWarnings[] = {
    "XDG_RUNTIME_DIR",
    "runtime directory",
    "propagateSizeHints",
    "does not support",
    "Ignoring XDG_SESSION_TYPE",
    "XCB error",
};

QtMessageHandler qt_own_handler = nullptr;

bool is_noise(QtMsgType type, const QString &text) {
    if (type == QtDebugMsg || type == QtInfoMsg) return true;
    if (type != QtWarningMsg) return false;
    for (const char *noise : kNoiseWarnings) {
        if (text.contains(QLatin1String(noise))) return true;
    }
    return false;
}

void filter_message(QtMsgType type, const QMessageLogContext &context, const QString &text) {
    if (is_noise(type, text) || qt_own_handler == nullptr) return;
    qt_own_handler(type, context, text);
}

// While the application object connects to the display, Qt's complaints are held back:
// a connection that fails ends in a fatal message, which becomes our one line instead of
// Qt's abort; a connection that works has its warnings passed on afterwards, filtered.
struct HeldMessage {
    QtMsgType type;
    QString text;
};
std::vector<HeldMessage> held_messages;

void hold_message(QtMsgType type, const QMessageLogContext &, const QString &text) {
    if (type == QtFatalMsg) exit_without_display();
    held_messages.push_back({type, text});
}

void pass_on_held_messages() {
    for (const HeldMessage &message : held_messages)
        filter_message(message.type, QMessageLogContext(), message.text);
    held_messages.clear();
}

// The application object and the widgets live until the process ends: the backend goes
// with the platform's static state, when Qt's own globals may already be gone, so
// deleting Qt objects then could crash.
QApplication *application = nullptr;

void start_application() {
    if (QApplication::instance() != nullptr) return;
    if (!display_reachable()) exit_without_display();
    static int argc = 1;
    static char name[] = "kanvo";
    static char *argv[] = {name, nullptr};
    qt_own_handler = qInstallMessageHandler(hold_message);
    application = new QApplication(argc, argv);
    qInstallMessageHandler(filter_message);
    pass_on_held_messages();
    // Windows close only through the library; Qt must never end an event loop by itself.
    QApplication::setQuitOnLastWindowClosed(false);
}

// ---- keys --------------------------------------------------------------------------

uint32_t keypad_key(int key) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return vk::numpad0 + uint32_t(key - Qt::Key_0);
    switch (key) {
    case Qt::Key_Asterisk: return vk::multiply;
    case Qt::Key_Plus: return vk::add;
    case Qt::Key_Minus: return vk::subtract;
    case Qt::Key_Period:
    case Qt::Key_Comma: return vk::decimal;
    case Qt::Key_Slash: return vk::divide;
    case Qt::Key_Enter: return vk::enter;
    default: return 0;
    }
}

// The punctuation keys of a US layout, shifted or not, as the key they sit on.
uint32_t punctuation_key(int key) {
    switch (key) {
    case Qt::Key_ParenRight: return '0';
    case Qt::Key_Exclam: return '1';
    case Qt::Key_At: return '2';
    case Qt::Key_NumberSign: return '3';
    case Qt::Key_Dollar: return '4';
    case Qt::Key_Percent: return '5';
    case Qt::Key_AsciiCircum: return '6';
    case Qt::Key_Ampersand: return '7';
    case Qt::Key_Asterisk: return '8';
    case Qt::Key_ParenLeft: return '9';
    case Qt::Key_Semicolon: case Qt::Key_Colon: return 0xBA;
    case Qt::Key_Equal: case Qt::Key_Plus: return 0xBB;
    case Qt::Key_Comma: case Qt::Key_Less: return 0xBC;
    case Qt::Key_Minus: case Qt::Key_Underscore: return 0xBD;
    case Qt::Key_Period: case Qt::Key_Greater: return 0xBE;
    case Qt::Key_Slash: case Qt::Key_Question: return 0xBF;
    case Qt::Key_QuoteLeft: case Qt::Key_AsciiTilde: return 0xC0;
    case Qt::Key_BracketLeft: case Qt::Key_BraceLeft: return 0xDB;
    case Qt::Key_Backslash: case Qt::Key_Bar: return 0xDC;
    case Qt::Key_BracketRight: case Qt::Key_BraceRight: return 0xDD;
    case Qt::Key_Apostrophe: case Qt::Key_QuoteDbl: return 0xDE;
    default: return 0;
    }
}

uint32_t control_key(int key) {
    switch (key) {
    case Qt::Key_Backspace: return vk::back;
    case Qt::Key_Tab: case Qt::Key_Backtab: return vk::tab;
    case Qt::Key_Return: case Qt::Key_Enter: return vk::enter;
    case Qt::Key_Shift: return vk::shift;
    case Qt::Key_Control: return vk::control;
    case Qt::Key_Alt: case Qt::Key_AltGr: return vk::menu;
    case Qt::Key_Pause: return 19;
    case Qt::Key_CapsLock: return 20;
    case Qt::Key_Escape: return vk::escape;
    case Qt::Key_Space: return vk::space;
    case Qt::Key_PageUp: return vk::prior;
    case Qt::Key_PageDown: return vk::next;
    case Qt::Key_End: return vk::end;
    case Qt::Key_Home: return vk::home;
    case Qt::Key_Left: return vk::left;
    case Qt::Key_Up: return vk::up;
    case Qt::Key_Right: return vk::right;
    case Qt::Key_Down: return vk::down;
    case Qt::Key_Print: return 44;
    case Qt::Key_Insert: return vk::insert;
    case Qt::Key_Delete: return vk::del;
    case Qt::Key_Meta: return 91;
    case Qt::Key_Menu: return 93;
    case Qt::Key_NumLock: return 144;
    case Qt::Key_ScrollLock: return 145;
    default: return 0;
    }
}

// The virtual-key code of a Qt key event; 0 for keys that have none.
uint32_t virtual_key(const QKeyEvent &event) {
    const int key = event.key();
    if (event.modifiers() & Qt::KeypadModifier) {
        if (uint32_t code = keypad_key(key)) return code;
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return uint32_t(key);
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return uint32_t(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return vk::f1 + uint32_t(key - Qt::Key_F1);
    if (uint32_t code = control_key(key)) return code;
    return punctuation_key(key);
}

// The Latin-1 character a key press produces, 0 for none. With Ctrl held a letter gives
// its control character whatever text the platform reported.
uint32_t key_character(const QKeyEvent &event, uint32_t virtual_code) {
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    if (modifiers & Qt::ControlModifier)
        return (virtual_code >= 'A' && virtual_code <= 'Z') ? virtual_code - 'A' + 1 : 0;
    if (modifiers & Qt::AltModifier) return 0;
    if (virtual_code == vk::del) return 0;
    // Enter, Backspace, Tab and Escape type their control characters even where the
    // platform reports no text for them.
    if (virtual_code == vk::enter || virtual_code == vk::back || virtual_code == vk::tab ||
        virtual_code == vk::escape)
        return virtual_code;
    const QString text = event.text();
    if (text.size() != 1) return 0;
    const char16_t unit = text.at(0).unicode();
    return unit <= 0xFF ? unit : 0;
}

// ---- widgets -----------------------------------------------------------------------

class QtBackend;
class NativeWindow;

// The client area: shows the platform window's client pixels and reports input.
class ClientArea : public QWidget {
public:
    ClientArea(NativeWindow *owner, QWidget *parent) : QWidget(parent), owner_(owner) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::StrongFocus);
    }

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override { mousePressEvent(event); }
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void key_event(QKeyEvent *event);

    NativeWindow *owner_;
};

class NativeWindow : public QMainWindow {
public:
    NativeWindow(Window &window, QtBackend &backend);

    Window *window() const { return window_; }
    QtBackend &backend() const { return backend_; }
    void forget_window() { window_ = nullptr; }
    void set_ready() { ready_ = true; }
    bool ready() const { return ready_; }

    void update_menu();
    void fit_client_size();
    void client_area_resized(QSize size);
    void show_client() { client_->update(); }
    void show_client(const QRect &changed) { client_->update(changed); }

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    bool sizable() const { return (window_->style & style::sizable) != 0; }
    bool menu_bar_shown() const { return window_->menu && menuBar()->isVisibleTo(this); }
    QSize reference_client_size() const;
    void rebuild_menu();
    void sync_menu_states();
    void give_keyboard_back();
    template <typename Container>
    void add_menu_items(Container *container, const Menu &menu);

    Window *window_;
    QtBackend &backend_;
    ClientArea *client_;
    bool ready_ = false;
    std::string menu_structure_;
    std::vector<QAction *> menu_actions_;  // one per model item, in walk order
};

// ---- the backend -------------------------------------------------------------------

class QtBackend : public Backend {
public:
    QtBackend() { start_application(); }
    // Leaves the widgets inert: they no longer post anything. The platform's windows may
    // already be gone, so this touches neither them nor Qt.
    ~QtBackend() override {
        for (NativeWindow *native : widgets_) native->forget_window();
    }

    void create_window(Window &window) override {
        auto *native = new NativeWindow(window, *this);
        window.native = native;
        widgets_.push_back(native);
        if (window.menu) native->update_menu();
        native->fit_client_size();
        // The frame's top left, once: later shows keep where the user put it.
        native->move(window.x, window.y);
        native->set_ready();
    }

    void show_window(Window &window, bool visible) override {
        NativeWindow *native = native_of(window);
        if (native == nullptr) return;
        native->setVisible(visible);
    }

    void destroy_window(Window &window) override {
        NativeWindow *native = native_of(window);
        if (native == nullptr) return;
        window.native = nullptr;
        widgets_.erase(std::remove(widgets_.begin(), widgets_.end(), native), widgets_.end());
        native->forget_window();
        native->hide();
        delete native;
    }

    void update_menu(Window &window) override {
        if (NativeWindow *native = native_of(window)) native->update_menu();
    }

    void present(Window &window) override {
        if (NativeWindow *native = native_of(window)) native->show_client();
    }

    // Only that part is painted again and sent to the display.
    void present_changed(Window &window, const Rect &changed) override {
        if (NativeWindow *native = native_of(window))
            native->show_client(QRect(changed.left, changed.top, changed.right - changed.left,
                                      changed.bottom - changed.top));
    }

    // Motion without a button held is reported only when asked for: it would only wake
    // the wait for nothing.
    void input_wanted(Window &window, uint32_t wanted) override {
        if (NativeWindow *native = native_of(window))
            native->centralWidget()->setMouseTracking((wanted & input_wanted::motion) != 0);
    }

    void wait_for_input(int64_t deadline_ms) override {
        input_arrived_ = false;
        QApplication::processEvents(QEventLoop::AllEvents);
        if (input_arrived_ || deadline_passed(deadline_ms)) return;
        bool woken = false;
        QTimer wake;
        wake.setSingleShot(true);
        wake.setTimerType(Qt::PreciseTimer);
        QObject::connect(&wake, &QTimer::timeout, [&woken] { woken = true; });
        // The deadline may pass between the check above and now: a zero interval still
        // wakes the loop, where a negative one would leave it waiting for input.
        if (deadline_ms >= 0)
            wake.start(int(std::clamp<int64_t>(deadline_ms - now_ms(), 0, INT_MAX)));
        // Each pass blocks in the event dispatcher until Qt has something to deliver; the
        // caller asks again should the timer have woken us a moment early.
        while (!input_arrived_ && !woken)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

    int64_t now_ms() override {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }

    int screen_height() override {
        QScreen *screen = QGuiApplication::primaryScreen();
        return screen != nullptr ? screen->geometry().height() : 0;
    }

    // Everything Qt reports goes to the platform through here, so that a wait returns.
    void post(Window *window, uint32_t type, uintptr_t wparam, intptr_t lparam) {
        if (window == nullptr || window->destroyed) return;
        post_message(window, type, wparam, lparam);
        input_arrived_ = true;
    }
    void mark_for_repaint(Window *window) {
        if (window == nullptr || window->destroyed) return;
        invalidate(window);
        input_arrived_ = true;
    }
    void report_client_size(Window *window, QSize size) {
        client_resized(window, size.width(), size.height());
        input_arrived_ = true;
    }

private:
    static NativeWindow *native_of(Window &window) {
        return static_cast<NativeWindow *>(window.native);
    }
    bool deadline_passed(int64_t deadline_ms) {
        return deadline_ms >= 0 && now_ms() >= deadline_ms;
    }

    std::vector<NativeWindow *> widgets_;
    bool input_arrived_ = false;
};

// ---- NativeWindow ------------------------------------------------------------------

Qt::WindowFlags flags_for_style(uint32_t window_style) {
    if (window_style & style::sizable) return Qt::Window;  // the usual boxes
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (window_style & style::system_menu)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    return flags;
}

NativeWindow::NativeWindow(Window &window, QtBackend &backend)
    : QMainWindow(nullptr, flags_for_style(window.style)), window_(&window), backend_(backend),
      client_(new ClientArea(this, this)) {
    setWindowTitle(QString::fromLatin1(window.title.c_str()));
    setObjectName(QString::fromLatin1(window.class_name.c_str()));
    setCentralWidget(client_);
    client_->setFocus();
    const QSize client = reference_client_size();
    window.client.reset(client.width(), client.height(), window.background);
}

QSize NativeWindow::reference_client_size() const {
    return QSize(reference_frame::client_width(window_->outer_width),
                 reference_frame::client_height(window_->outer_height, window_->menu != nullptr))
        .expandedTo(QSize(1, 1));
}

// The client area gets the size the outer size leaves on the reference platform; the menu
// bar goes above it and the desktop's frame (any, or none) outside, so the widget is as
// large as those need. A fixed window's layout keeps exactly that size, a sizable one
// starts at it and then follows the user.
void NativeWindow::fit_client_size() {
    if (window_ == nullptr) return;
    const QSize client = reference_client_size();
    if (sizable()) {
        const int bar = menu_bar_shown() ? menuBar()->heightForWidth(client.width()) : 0;
        resize(client.width(), client.height() + std::max(bar, 0));
    } else {
        client_->setFixedSize(client);
        layout()->setSizeConstraint(QLayout::SetFixedSize);
        adjustSize();
    }
    client_area_resized(client);
}

void NativeWindow::client_area_resized(QSize size) {
    if (window_ == nullptr || window_->destroyed || size.isEmpty()) return;
    if (size == QSize(window_->client.width(), window_->client.height())) return;
    backend_.report_client_size(window_, size);
}

bool NativeWindow::event(QEvent *event) {
    const bool handled = QMainWindow::event(event);
    if (window_ != nullptr && event->type() == QEvent::Show) backend_.mark_for_repaint(window_);
    return handled;
}

// The close box asks the window's procedure; its default handling destroys the window.
void NativeWindow::closeEvent(QCloseEvent *event) {
    event->ignore();
    backend_.post(window_, msg::close, 0, 0);
}

void NativeWindow::update_menu() {
    if (window_ == nullptr) return;
    const std::string structure = window_->menu ? window_->menu->structure() : std::string();
    // Only a changed structure rebuilds, so an open menu stays open when a check changes.
    if (structure != menu_structure_ || !window_->menu) {
        menu_structure_ = structure;
        rebuild_menu();
        if (ready_) fit_client_size();
    } else {
        sync_menu_states();
    }
}

void NativeWindow::rebuild_menu() {
    QMenuBar *bar = menuBar();
    bar->clear();
    menu_actions_.clear();
    if (!window_->menu) {
        bar->hide();
        return;
    }
    bar->show();
    add_menu_items(bar, *window_->menu);
    sync_menu_states();
}

// The shortcut text after a tab is only shown: no QAction gets a shortcut, so the keys
// reach the window as key presses.
template <typename Container>
void NativeWindow::add_menu_items(Container *container, const Menu &menu) {
    for (const MenuItem &item : menu.items()) {
        const QString text = QString::fromLatin1(item.text.c_str());
        if (item.flags & menu_flag::separator) {
            menu_actions_.push_back(container->addSeparator());
        } else if (item.popup) {
            QMenu *popup = container->addMenu(text);
            // Escape leaves the bar holding the keyboard after its popup has closed;
            // checked once the popup's own handling is done.
            QObject::connect(popup, &QMenu::aboutToHide, this,
                             [this] { QTimer::singleShot(0, this, [this] { give_keyboard_back(); }); });
            menu_actions_.push_back(popup->menuAction());
            add_menu_items(popup, *item.popup);
        } else {
            QAction *action = container->addAction(text);
            menu_actions_.push_back(action);
            const uint32_t id = item.id;
            QObject::connect(action, &QAction::triggered, action, [this, id] {
                backend_.post(window_, msg::command, id, 0);
                sync_menu_states();  // the check mark follows the model, not the click
            });
        }
    }
}

// A menu bar left with the focus takes every key for its own navigation, so the window's
// Ctrl shortcuts would be lost until a second Escape: the keyboard goes back to the client.
void NativeWindow::give_keyboard_back() {
    if (QApplication::activePopupWidget() != nullptr) return;
    if (focusWidget() == menuBar()) client_->setFocus(Qt::PopupFocusReason);
}

void NativeWindow::sync_menu_states() {
    if (window_ == nullptr || !window_->menu) return;
    size_t next = 0;
    // Same walk order as add_menu_items: depth first, items in order.
    struct Walker {
        std::vector<QAction *> &actions;
        size_t &next;
        void walk(const Menu &menu) {
            for (const MenuItem &item : menu.items()) {
                if (next >= actions.size()) return;
                QAction *action = actions[next++];
                action->setEnabled((item.flags & menu_flag::grayed) == 0);
                if (!(item.flags & menu_flag::separator) && !item.popup) {
                    const bool checked = (item.flags & menu_flag::checked) != 0;
                    action->setCheckable(checked);
                    action->setChecked(checked);
                }
                if (item.popup) walk(*item.popup);
            }
        }
    } walker{menu_actions_, next};
    walker.walk(*window_->menu);
}

// ---- ClientArea --------------------------------------------------------------------

void ClientArea::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    Window *window = owner_->window();
    if (window == nullptr) return;
    const Bitmap &client = window->client;
    const QColor background = QColor::fromRgb(window->background);
    if (client.width() > 0 && client.height() > 0) {
        const QImage image(reinterpret_cast<const uchar *>(client.row(0)), client.width(),
                           client.height(), client.width() * 4, QImage::Format_RGB32);
        painter.drawImage(0, 0, image);
    }
    if (width() > client.width())
        painter.fillRect(client.width(), 0, width() - client.width(), height(), background);
    if (height() > client.height())
        painter.fillRect(0, client.height(), width(), height() - client.height(), background);
}

void ClientArea::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    if (owner_->ready()) owner_->client_area_resized(event->size());
}

// The buttons held after the event, as mouse messages carry them.
uintptr_t held_buttons(const QMouseEvent &event) {
    uintptr_t held = 0;
    if (event.buttons() & Qt::LeftButton) held |= mouse_flag::left_button;
    if (event.buttons() & Qt::RightButton) held |= mouse_flag::right_button;
    if (event.buttons() & Qt::MiddleButton) held |= mouse_flag::middle_button;
    return held;
}

// The message for a button going down or up; 0 for buttons the platform has none for.
uint32_t button_message(Qt::MouseButton button, bool down) {
    switch (button) {
    case Qt::LeftButton: return down ? msg::left_button_down : msg::left_button_up;
    case Qt::RightButton: return down ? msg::right_button_down : msg::right_button_up;
    case Qt::MiddleButton: return down ? msg::middle_button_down : msg::middle_button_up;
    default: return 0;
    }
}

void ClientArea::mousePressEvent(QMouseEvent *event) {
    const uint32_t type = button_message(event->button(), true);
    if (type == 0) return;
    const QPoint at = event->position().toPoint();
    owner_->backend().post(owner_->window(), type, held_buttons(*event), xy_lparam(at.x(), at.y()));
}

void ClientArea::mouseReleaseEvent(QMouseEvent *event) {
    const uint32_t type = button_message(event->button(), false);
    if (type == 0) return;
    const QPoint at = event->position().toPoint();
    owner_->backend().post(owner_->window(), type, held_buttons(*event), xy_lparam(at.x(), at.y()));
}

void ClientArea::mouseMoveEvent(QMouseEvent *event) {
    const QPoint at = event->position().toPoint();
    owner_->backend().post(owner_->window(), msg::mouse_move, held_buttons(*event),
                           xy_lparam(at.x(), at.y()));
}

void ClientArea::wheelEvent(QWheelEvent *event) {
    event->accept();
    const int distance = event->angleDelta().y();
    if (distance == 0) return;
    const QPoint at = event->position().toPoint();
    owner_->backend().post(owner_->window(), msg::mouse_wheel, wheel_wparam(distance),
                           xy_lparam(at.x(), at.y()));
}

bool ClientArea::event(QEvent *event) {
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Keys belong to the window (Tab and Ctrl combinations included); Alt is left to
        // the menu bar's mnemonics.
        if (!(static_cast<QKeyEvent *>(event)->modifiers() & Qt::AltModifier)) event->accept();
        return true;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        key_event(static_cast<QKeyEvent *>(event));
        return true;
    default:
        return QWidget::event(event);
    }
}

void ClientArea::key_event(QKeyEvent *event) {
    event->accept();
    const bool press = event->type() == QEvent::KeyPress;
    // Qt reports auto-repeat as release and press pairs; the window sees repeated presses.
    if (!press && event->isAutoRepeat()) return;
    const uint32_t code = virtual_key(*event);
    const bool ctrl = (event->modifiers() & Qt::ControlModifier) != 0;
    if (press) {
        owner_->backend().post(owner_->window(), msg::key_down, code,
                               key_lparam(key_character(*event, code), event->isAutoRepeat(), ctrl));
    } else {
        owner_->backend().post(owner_->window(), msg::key_up, code, key_lparam(0, true, ctrl));
    }
}

// Keys pressed or released while the focus is elsewhere never reach us: say it is gone.
void ClientArea::focusOutEvent(QFocusEvent *event) {
    QWidget::focusOutEvent(event);
    owner_->backend().post(owner_->window(), msg::kill_focus, 0, 0);
}

}  // namespace

std::unique_ptr<Backend> make_desktop_backend() { return std::make_unique<QtBackend>(); }

}  // namespace platform
