// What the tools' command lines share: whole numbers within bounds, with one wording for
// a value out of them.
#pragma once

#include <cerrno>
#include <cstdlib>
#include <string>

// The whole number text names (digits only) when it lies in [min, max]; otherwise false
// and, in *wanted, what the option takes.
inline bool read_whole_number(const std::string &option, const char *text, unsigned long long min,
                              unsigned long long max, unsigned long long *value,
                              std::string *wanted) {
    errno = 0;
    char *end = nullptr;
    const unsigned long long parsed = std::strtoull(text, &end, 10);
    const bool digits_only = *text >= '0' && *text <= '9' && *end == '\0';
    if (digits_only && errno == 0 && parsed >= min && parsed <= max) {
        *value = parsed;
        return true;
    }
    *wanted = option + " takes a whole number from " + std::to_string(min) + " to " +
              std::to_string(max) + ", not '" + text + "'";
    return false;
}
