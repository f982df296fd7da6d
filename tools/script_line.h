// A line of a script file as the tools show it in a warning: the line playback could not
// play, with what cannot show on a terminal written as \xNN.
#pragma once

#include <cstdio>
#include <string>

#include "testing.h"

// Line `number` of the script (lines end in LF, CR LF or CR, as the reader takes them),
// at most 60 bytes of it; *has_line_end says whether the line is ended.
inline std::string script_line_text(const std::string &script, int number, bool *has_line_end) {
    std::string text;
    *has_line_end = false;
    std::FILE *file = platform::open_regular_file(script.c_str());
    if (!file) return text;
    int line = 1, c;
    while (line <= number && (c = std::fgetc(file)) != EOF) {
        if (c == '\n' || c == '\r') {
            if (c == '\r') {
                const int next = std::fgetc(file);
                if (next != '\n' && next != EOF) std::ungetc(next, file);
            }
            if (line == number) *has_line_end = true;
            ++line;
        } else if (line == number && text.size() < 60) {
            char shown[5];
            std::snprintf(shown, sizeof shown, (c >= 0x20 && c < 0x7F) ? "%c" : "\\x%02X", c);
            text += shown;
        }
    }
    std::fclose(file);
    return text;
}

// The warning both tools give when playback ended at an unplayable line.
inline void warn_unplayed_line(const char *tool, const std::string &script, int number) {
    bool has_line_end = false;
    const std::string text = script_line_text(script, number, &has_line_end);
    std::fprintf(stderr, "%s: warning: %s:%d: %s, playback ended there: %s\n", tool, script.c_str(), number,
                 has_line_end ? "not a script line" : "the last line has no line feed", text.c_str());
}
