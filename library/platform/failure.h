// How a call that can say why it failed says it: the reason goes to *error when the caller
// asked for it (error not null), and the call returns false.
#pragma once

#include <string>

namespace platform {

inline bool fail(std::string *error, const std::string &reason) {
    if (error) *error = reason;
    return false;
}

}  // namespace platform
