// kanvo-render CASE.txt OUT.png: paints a command list with the library's renderer and
// writes the picture, to compare the renderer with reference pictures.
#include <cstdio>
#include <string>

#include "command_list.h"
#include "testing.h"

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: kanvo-render CASE.txt OUT.png\n");
        return 2;
    }
    std::string error;
    if (!paint_command_file(argv[1], &error)) {
        fprintf(stderr, "kanvo-render: %s\n", error.c_str());
        return 1;
    }
    if (!platform::write_png(argv[2], surface_pixels(), &error)) {
        fprintf(stderr, "kanvo-render: cannot write %s: %s\n", argv[2], error.c_str());
        return 1;
    }
    return 0;
}
