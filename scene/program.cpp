// The kanvo-scene executable: hands the command line to the landscape's entry. One option
// of its own, --seed N, fixes the random start (for scripted runs that must repeat);
// without it the start comes from the clock.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "kanvo.h"
#include "landscape.h"

namespace {

bool parse_seed(const char *text, uint32_t *seed) {
    if (!text || *text < '0' || *text > '9') return false;
    errno = 0;
    char *end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || value > 0xFFFFFFFFull) return false;
    *seed = uint32_t(value);
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    std::string command_line;
    for (int i = 1; i < argc; i++) {
        if (std::string(argv[i]) == "--seed") {
            uint32_t seed = 0;
            if (!parse_seed(i + 1 < argc ? argv[i + 1] : nullptr, &seed)) {
                std::fprintf(stderr, "kanvo-scene: --seed takes a whole number from 0 to 4294967295\n");
                return 2;
            }
            landscape_set_seed(seed);
            ++i;
            continue;
        }
        if (!command_line.empty()) command_line += ' ';
        command_line += argv[i];
    }
    return landscape_main(nullptr, nullptr, command_line.c_str(), KANVO_SHOW_NORMAL);
}
