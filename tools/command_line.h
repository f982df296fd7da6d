// What the command lines of kanvo-scene and the tools share: whole numbers within bounds,
// with one wording for a value out of them, and one way to stop on a bad command line.
#pragma once

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>


// What a whole-number option takes, in the words every program uses.
inline std::string whole_number_wanted(const std::string &option, unsigned long long min,
                                       unsigned long long max) {
    return option + " takes a whole number from " + std::to_string(min) + " to " +
           std::to_string(max);
}

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
    *wanted = whole_number_wanted(option, min, max) + ", not '" + text + "'";
    return false;
}


// A program's name and usage text, for what it says when its command line is wrong.
struct CommandLine {
    const char *program;  // "kanvo-run"
    const char *usage;    // shown after a usage error (status 2); nullptr for none

    // "program: message" on standard error (and the usage for status 2), then exit.
    [[noreturn]] void fail(const std::string &message, int status = 2) const {
        std::fprintf(stderr, "%s: %s\n", program, message.c_str());
        if (status == 2 && usage) std::fputs(usage, stderr);
        std::exit(status);
    }

    // The option's whole number in [min, max]; a usage error otherwise.
    unsigned long long whole_number(const std::string &option, const char *text,
                                    unsigned long long min, unsigned long long max) const {
        unsigned long long value = 0;
        std::string wanted;
        if (!read_whole_number(option, text, min, max, &value, &wanted)) fail(wanted);
        return value;
    }
};
