// For the file-piece tests: registers a last word that writes a file, then ends the way
// its second argument says (exit: std::exit(3); return: main returns 0).
#include <cstdlib>
#include <cstring>

#include "testing.h"

namespace {

const char *note_path = nullptr;

void leave_a_note() {
    const char note[] = "said\n";
    platform::write_new_file(note_path, note, sizeof note - 1);
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3) return 2;
    note_path = argv[1];
    platform::call_at_program_end(leave_a_note);
    platform::call_at_program_end(leave_a_note);  // once is enough
    if (std::strcmp(argv[2], "exit") == 0) std::exit(3);
    return 0;
}
