// The log of the library's last 25 messages and the text window's picture of it: the
// newest message on the bottom line, each older one a line higher.
#include <cstdarg>

#include "kanvo_internal.h"
#include "platform/font.h"

namespace {

int next_slot(int slot) { return (slot + 1) % kLogSize; }

std::string format_message(const char *format, va_list args) {
    char buffer[kFormatBuffer];
    const int count = format_text(buffer, format, args);
    return std::string(buffer, size_t(count));
}

void append_message(std::string message) {
    LogState &log = kanvo.log;
    // Full: the oldest message gives way.
    if (log.log_first == log.log_next) log.log_first = next_slot(log.log_first);
    log.log_ring[log.log_next] = std::move(message);
    if (log.log_first < 0) log.log_first = log.log_next;
    log.log_next = next_slot(log.log_next);
}

}  // namespace

int log_printf(const char *format, ...) {
    va_list args;
    va_start(args, format);
    std::string message = format_message(format, args);
    va_end(args);
    int count = int(message.size());
    append_message(std::move(message));
    // Before the text window exists the message is only stored; the window shows it
    // from its first paint on.
    if (kanvo.windows.text_window) platform::invalidate(kanvo.windows.text_window);
    return count;
}

void compose_text_window(platform::Bitmap *picture) {
    if (!picture) return;
    const int right = picture->width();
    const int bottom = picture->height();
    platform::DrawingContext dc(picture);
    const platform::Pixel background = dc.background_color();
    dc.fill_rect(0, 0, right, bottom, background);
    dc.select_font(&platform::Font::stock_fixed());
    const platform::FontMetrics metrics = dc.font().metrics();
    const int line_height = metrics.height + metrics.external_leading;
    if (kanvo.log.log_first < 0) return;
    int slot = kanvo.log.log_first;
    do {
        const std::string &message = kanvo.log.log_ring[slot];
        dc.scroll(0, -line_height);
        dc.fill_rect(0, int64_t(bottom) - line_height, right, int64_t(bottom) + 1, background);
        size_t length = message.size();
        if (length > 0 && message[length - 1] == '\n') --length;
        dc.text_out(5, int64_t(bottom) - line_height, message.data(), length);
        slot = next_slot(slot);
    } while (slot != kanvo.log.log_next);
}

void paint_text_window(platform::Window *window) {
    if (!window) return;
    platform::begin_paint(window);
    const platform::Rect client = platform::client_rect(window);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width > 0 && height > 0) {
        platform::Bitmap picture(width, height);
        compose_text_window(&picture);
        platform::DrawingContext picture_dc(&picture);
        std::unique_ptr<platform::DrawingContext> window_context = platform::get_dc(window);
        if (window_context) window_context->copy_bits(0, 0, width, height, picture_dc, 0, 0);
    }
    platform::end_paint(window);
}
