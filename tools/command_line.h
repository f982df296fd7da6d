// What the tools' command lines share: whole numbers within bounds, with one wording for
// a value out of them; files that two options name at once.
#pragma once

#include <cerrno>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <utility>

#include "platform/files.h"

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

// "--a and --b" for the first two options that name one file (compared as files, so that
// ./a.gif is a.gif and no picture overwrites the script); empty when all differ.
inline std::string files_named_twice(
    std::initializer_list<std::pair<const char *, const std::string *>> named) {
    for (auto a = named.begin(); a != named.end(); ++a) {
        for (auto b = a + 1; b != named.end(); ++b) {
            if (a->second->empty() || b->second->empty()) continue;
            if (platform::same_file(*a->second, *b->second)) return std::string(a->first) + " and " + b->first;
        }
    }
    return "";
}
