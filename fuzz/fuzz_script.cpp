// Fuzzes the script reader: arbitrary bytes as "KANVO.SCR" must be read to the end
// without crashing, hanging or reading out of bounds.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "testing.h"

namespace {

// The reader reads the file script_name names; point it at a file of the fuzzer's own
// (not at KANVO.SCR in the current directory, where the corpus may live).
void use_scratch_script_file() {
    static std::string path;
    if (!path.empty()) return;
    char pattern[] = "/tmp/kanvo-fuzz-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    path = std::string(pattern) + "/KANVO.SCR";
    kanvo.script.script_name = path.c_str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    use_scratch_script_file();
    FILE *file = std::fopen(kanvo.script.script_name, "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    script_close();
    kanvo.script.periodic_run = 0;
    kanvo.script.playback_on = 1;
    // A periodic line may announce two billion ticks; a bounded number of reads still
    // walks every line of a fuzzer-sized file.
    for (int reads = 0; reads < 4096 && kanvo.script.playback_on; ++reads) {
        kanvo.events.pending_kind = kNoEvent;
        if (!script_read_event()) kanvo.script.playback_on = 0;
        if (kanvo.script.periodic_run > 8) kanvo.script.periodic_run = 8;
    }
    script_close();
    return 0;
}
