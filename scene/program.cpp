// The kanvo-scene executable: hands the command line to the landscape's entry. One option
// of its own, --seed N, fixes the random start (for scripted runs that must repeat);
// without it the start comes from the clock.
#include <cstdint>
#include <string>

#include "command_line.h"
#include "kanvo.h"
#include "landscape.h"

int main(int argc, char **argv) {
    std::string command_line;
    for (int i = 1; i < argc; i++) {
        if (std::string(argv[i]) == "--seed") {
            // kanvo-scene shows no usage text, and its message stops before the value.
            const CommandLine scene{"kanvo-scene", nullptr};
            const unsigned long long max = UINT32_MAX;
            unsigned long long seed = 0;
            std::string wanted;
            if (i + 1 >= argc || !read_whole_number("--seed", argv[i + 1], 0, max, &seed, &wanted))
                scene.fail(whole_number_wanted("--seed", 0, max));
            landscape_set_seed(uint32_t(seed));
            ++i;
            continue;
        }
        if (!command_line.empty()) command_line += ' ';
        command_line += argv[i];
    }
    return landscape_main(nullptr, nullptr, command_line.c_str(), KANVO_SHOW_NORMAL);
}
