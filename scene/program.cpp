// The kanvo-scene executable: hands the command line to the landscape's entry, which
// takes no arguments of its own.
#include <string>

#include "kanvo.h"
#include "landscape.h"

int main(int argc, char **argv) {
    std::string command_line;
    for (int i = 1; i < argc; i++) {
        if (i > 1) command_line += ' ';
        command_line += argv[i];
    }
    return landscape_main(nullptr, nullptr, command_line.c_str(), KANVO_SHOW_NORMAL);
}
