// Recording the event stream to the script file "KANVO.SCR" and playing it back: the line
// formats, the writer, the reader with its forgiving number scanning, and the Record,
// Playback and Play one commands.
#include <cctype>
#include <climits>
#include <cstring>
#include <string>

#include "kanvo_internal.h"
#include "platform/files.h"
#include "platform/run/run_protocol.h"

namespace {

constexpr int kLineBuffer = 512;  // 511 characters of a line are kept
constexpr int kNumberLength = 11; // "-2147483648"
constexpr long kLongestLine = 1 << 20;

void set_check(int command, bool on) {
    if (kanvo.windows.run_menu) platform::check_menu_item(kanvo.windows.run_menu, command, on);
}

// A recording keeps the file it empties as KANVO.SCR.bak, one level. When that cannot be
// done, the old file is left alone and the recording stops.
bool keep_old_script() {
    if (kanvo.script.script_backup.empty())
        kanvo.script.script_backup = std::string(kanvo.script.script_name) + ".bak";
    switch (platform::keep_backup(kanvo.script.script_name, kanvo.script.script_backup.c_str())) {
    case platform::Backup::kept:
        log_printf("The old %s is kept as %s\n", kanvo.script.script_name,
                   kanvo.script.script_backup.c_str());
        return true;
    case platform::Backup::failed:
        log_printf("Cannot keep the old %s as %s; recording stopped\n", kanvo.script.script_name,
                   kanvo.script.script_backup.c_str());
        kanvo.script.recording_on = 0;
        kanvo.script.periodic_run = 0;
        set_check(KANVO_CMD_RECORD, false);
        return false;
    default:
        return true;
    }
}

bool open_script_for_writing() {
    kanvo.script.script_file = std::fopen(kanvo.script.script_name, "w");
    if (!kanvo.script.script_file) return false;
    kanvo.script.script_path = platform::resolved_path(kanvo.script.script_name);
    return true;
}

// Only a regular file is played: a FIFO would block the window, a directory read as empty.
bool open_script_for_reading() {
    kanvo.script.script_file = platform::open_regular_file(kanvo.script.script_name);
    kanvo.script.script_line_number = 0;
    return kanvo.script.script_file != nullptr;
}

// A recording must notice that its lines are no longer reaching the disk: a failed
// write (disk full) or the file having been removed or replaced under it.
bool script_still_written() {
    FILE *file = kanvo.script.script_file;
    if (std::fflush(file) != 0 || std::ferror(file)) return false;
    return platform::still_named(file, kanvo.script.script_path);
}

void stop_recording_after_failure() {
    log_printf("Cannot write script file %s; recording stopped\n", kanvo.script.script_name);
    kanvo.script.recording_on = 0;
    kanvo.script.periodic_run = 0;
    set_check(KANVO_CMD_RECORD, false);
    script_close();
}

enum class LineRead { line, end_of_file, too_long };

// The next byte, with each line end (LF, CR LF, or a CR alone, as files made on other
// systems have them) read as one '\n'. The file is read as bytes, so a Ctrl+Z is no end.
int next_char() {
    const int c = std::fgetc(kanvo.script.script_file);
    if (c != '\r') return c;
    const int after = std::fgetc(kanvo.script.script_file);
    if (after != '\n' && after != EOF) std::ungetc(after, kanvo.script.script_file);
    return '\n';
}

// Reads one line into buffer: at most 511 characters are kept, with the line feed when it
// fits. The rest of a longer line is passed over too, so that it stays one line, but only
// up to kLongestLine characters: a file that never ends a line (a device, say) cannot
// keep the reader busy. Bytes are read one by one, so a NUL inside a line is no line end.
LineRead read_line(char (&buffer)[kLineBuffer]) {
    size_t length = 0;
    int c = 0;
    ++kanvo.script.script_line_number;
    while (length < kLineBuffer - 1 && c != '\n') {
        c = next_char();
        if (c == EOF) break;
        buffer[length++] = static_cast<char>(c);
    }
    buffer[length] = '\0';
    if (c == EOF) {
        // A last line without its line feed is not played; a driver may want to say so.
        if (length > 0) {
            kanvo.script.unplayed_script_line = kanvo.script.script_line_number;
            platform::run_script_line_unplayed(kanvo.script.script_line_number);
        }
        return LineRead::end_of_file;
    }
    if (c == '\n') return LineRead::line;
    for (long skipped = 0; skipped < kLongestLine; ++skipped) {
        c = next_char();
        if (c == EOF) return LineRead::end_of_file;
        if (c == '\n') return LineRead::line;
    }
    return LineRead::too_long;
}

bool is_empty_line(const char *line) {
    return line[0] == '\n' || (line[0] == '\r' && line[1] == '\n');
}

// Converts an optional leading '-' and the digits after it, like atoi, but saturating at
// the ends of the 32-bit range instead of overflowing.
int to_int(const char *text) {
    bool negative = *text == '-';
    if (negative) ++text;
    long long value = 0;
    for (; std::isdigit(static_cast<unsigned char>(*text)); ++text) {
        value = value * 10 + (*text - '0');
        if (value > 2147483648LL) value = 2147483648LL;
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Scans the next number from *position: skips what cannot start one, collects the run of
// characters that can belong to it (at most 11 are kept; the rest of the run is passed
// over) and leaves *position after the run. Returns false when the line holds no number.
bool scan_number(const char *line, size_t *position, bool allow_sign, int *value) {
    auto belongs = [allow_sign](char c) { return is_digit(c) || (allow_sign && c == '-'); };
    size_t p = *position;
    while (line[p] != '\0' && !belongs(line[p])) ++p;
    if (line[p] == '\0') return false;
    char number[kNumberLength + 1];
    size_t length = 0;
    for (; belongs(line[p]); ++p) {
        if (length < kNumberLength) number[length++] = line[p];
    }
    number[length] = '\0';
    *position = p;
    *value = to_int(number);
    return true;
}

// Sets the pending event from one script line; unknown for a line that names no event
// the writer produces (unknown kind, too short, or missing its numbers).
ScriptLine parse_event_line(const char *line) {
    if (std::strlen(line) < 7) return ScriptLine::unknown;
    size_t position = 6;
    int first = 0, second = 0;
    switch (line[6]) {
    case 'K':
        if (!scan_number(line, &position, true, &first)) return ScriptLine::unknown;
        kanvo.events.pending_kind = KANVO_KBD;
        kanvo.events.pending_key = static_cast<char>(first & 0xFF);
        return ScriptLine::played;
    case 'M':
        if (!scan_number(line, &position, true, &first)) return ScriptLine::unknown;
        if (!scan_number(line, &position, true, &second)) return ScriptLine::unknown;
        kanvo.events.pending_kind = KANVO_MOUSE;
        kanvo.events.pending_x = first;
        kanvo.events.pending_y = second;
        kanvo.input.pending_button = KANVO_BUTTON_LEFT;
        return ScriptLine::played;
    case 'P':
        if (!scan_number(line, &position, false, &first)) return ScriptLine::unknown;
        kanvo.events.pending_kind = KANVO_PERIODIC;
        kanvo.script.periodic_run = first - 1;
        return ScriptLine::played;
    default:
        return input_read_line(line);
    }
}

}  // namespace

bool scan_script_number(const char *line, size_t *position, bool allow_sign, int *value) {
    return scan_number(line, position, allow_sign, value);
}

void script_write_event(int kind, int x, int y, char key) {
    if (!kanvo.script.script_file && !keep_old_script()) return;
    if (!kanvo.script.script_file && !open_script_for_writing()) {
        log_printf("Cannot open script file %s for writing\n", kanvo.script.script_name);
        return;
    }
    char line[64];
    // The input a program listens for has lines of its own; a left press keeps the mouse line.
    int length = input_format_line(line, sizeof line, kind, x, y);
    if (length == 0) switch (kind) {
    case KANVO_MOUSE:
        length = std::snprintf(line, sizeof line, "KANVO_MOUSE(%d, %d);\n", x, y);
        break;
    case KANVO_KBD:
        length = std::snprintf(line, sizeof line, "KANVO_KBD(%d);\n", static_cast<int>(static_cast<signed char>(key)));
        break;
    case KANVO_PERIODIC:
        length = std::snprintf(line, sizeof line, "KANVO_PERIODIC(%d);\n", kanvo.script.periodic_run);
        break;
    default:
        break;  // a quit is not written
    }
    // Each line goes to the file at once and whole, or not at all: a disk that fills up
    // leaves no half line at the end.
    const bool written = length <= 0 || platform::write_unbuffered(kanvo.script.script_file, line, size_t(length));
    if (!written || !script_still_written()) stop_recording_after_failure();
}

int script_read_event() {
    if (!kanvo.script.script_file && !open_script_for_reading()) {
        log_printf("Cannot open script file %s for reading\n", kanvo.script.script_name);
        end_playback();
        return 0;
    }
    if (kanvo.script.periodic_run > 0) {
        --kanvo.script.periodic_run;
        kanvo.events.pending_kind = KANVO_PERIODIC;
        return 1;
    }
    char line[kLineBuffer];
    LineRead read = read_line(line);
    ScriptLine parsed = ScriptLine::unknown;
    // Empty lines, and lines of input the program does not listen for, are passed over.
    for (;;) {
        while (read == LineRead::line && is_empty_line(line)) read = read_line(line);
        if (read != LineRead::line) break;
        parsed = parse_event_line(line);
        if (parsed != ScriptLine::passed_over) break;
        read = read_line(line);
    }
    if (read == LineRead::end_of_file) {
        log_printf("EOF encountered in script file %s\n", kanvo.script.script_name);
        end_playback();
        // Closed at its end, so that the next playback starts again at the first line.
        script_close();
        return 0;
    }
    // A line the writer never makes (too long, unknown kind, numbers missing) ends
    // playback; the file stays open after it.
    if (read == LineRead::line && parsed == ScriptLine::played) return 1;
    kanvo.script.unplayed_script_line = kanvo.script.script_line_number;
    platform::run_script_line_unplayed(kanvo.script.script_line_number);
    end_playback();
    return 0;
}

void write_periodic_run() {
    if (kanvo.script.periodic_run <= 0) return;
    script_write_event(KANVO_PERIODIC, 0, 0, 0);
    kanvo.script.periodic_run = 0;
}

void script_close() {
    if (kanvo.script.script_file) std::fclose(kanvo.script.script_file);
    kanvo.script.script_file = nullptr;
}

void end_playback() {
    kanvo.script.playback_on = 0;
    kanvo.script.play_one_pending = 0;
    set_check(KANVO_CMD_PLAYBACK, false);
}

void stop_playback_and_close() {
    end_playback();
    kanvo.script.periodic_run = 0;  // the rest of a run being replayed
    script_close();
}

void stop_script() {
    if (kanvo.script.recording_on) {
        kanvo.script.recording_on = 0;
        set_check(KANVO_CMD_RECORD, false);
    }
    stop_playback_and_close();
}

// May run inside a signal handler: no stdio, no allocation. The writer writes every line
// past the stdio buffer, so a direct write lands after it.
void write_periodic_run_now() {
    if (!kanvo.script.recording_on || kanvo.script.periodic_run <= 0) return;
    char line[40] = "KANVO_PERIODIC(";
    size_t length = std::strlen(line);
    char digits[12];
    size_t count = 0;
    for (unsigned value = unsigned(kanvo.script.periodic_run); value > 0; value /= 10)
        digits[count++] = char('0' + value % 10);
    while (count > 0) line[length++] = digits[--count];
    line[length++] = ')';
    line[length++] = ';';
    line[length++] = '\n';
    // Only periodic events so far: the file is not open yet, and the run is its first line.
    FILE *file = kanvo.script.script_file;
    if (!file && !kanvo.script.script_backup.empty() &&
        platform::keep_backup(kanvo.script.script_name,
                                       kanvo.script.script_backup.c_str()) == platform::Backup::failed)
        return;
    const bool written = file ? platform::write_unbuffered(file, line, length)
                              : platform::write_new_file(kanvo.script.script_name, line, length);
    if (written) kanvo.script.periodic_run = 0;
}

// Recording and playback share the one script file, so only one of them runs at a time:
// the command that would start the second is refused with a message.
void toggle_recording() {
    if (kanvo.script.recording_on) {
        kanvo.script.recording_on = 0;
        set_check(KANVO_CMD_RECORD, false);
        write_periodic_run();
        script_close();
        return;
    }
    if (kanvo.script.playback_on || kanvo.script.play_one_pending) {
        log_printf("Cannot record while a script is played back\n");
        return;
    }
    // With recording off, an open file is one a playback read to its end and left open;
    // a new recording starts a new file.
    script_close();
    kanvo.script.periodic_run = 0;
    kanvo.script.script_backup = std::string(kanvo.script.script_name) + ".bak";
    kanvo.script.recording_on = 1;
    set_check(KANVO_CMD_RECORD, true);
    platform::call_at_program_end(write_periodic_run_now);
}

void toggle_playback() {
    if (kanvo.script.playback_on) {
        stop_playback_and_close();  // the rest of a stopped run is not delivered later
        return;
    }
    if (kanvo.script.recording_on) {
        log_printf("Cannot play back a script while recording\n");
        return;
    }
    kanvo.events.animation_running = 0;
    kanvo.events.step_pending = 0;
    kanvo.script.playback_on = 1;
    set_check(KANVO_CMD_PLAYBACK, true);
}

void play_one() {
    if (kanvo.script.recording_on) {
        log_printf("Cannot play back a script while recording\n");
        return;
    }
    kanvo.script.play_one_pending = 1;
    kanvo.events.animation_running = 0;
    kanvo.events.step_pending = 0;
}
