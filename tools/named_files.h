// The tools' check that two options do not name one file (a picture over the script it
// plays, two outputs into one file).
#pragma once

#include <initializer_list>
#include <string>
#include <utility>

#include "testing.h"

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
