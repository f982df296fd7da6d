// Runs driven by kanvo-run on Windows: kanvo-run hands a program its pipe by inheritance,
// which only POSIX systems offer, so a Windows program always runs on its own.
#include "platform/run/run_protocol.h"

#include "platform/backend.h"

namespace platform {

std::unique_ptr<Backend> make_run_backend() { return nullptr; }

void run_shows(const Bitmap *, Window *, void (*)()) {}

const char *run_wait_starts(bool, bool) { return nullptr; }

void run_script_line_unplayed(int) {}

bool run_records_calls() { return false; }

void run_records_call(const char *, size_t, const void *) {}

}  // namespace platform
