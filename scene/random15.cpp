// The scene's pseudo-random generator (see random15.h).
#include "random15.h"

#include <ctime>

namespace {

uint32_t random_state = 0;

}  // namespace

void random_seed(uint32_t value) { random_state = value; }

int random15() {
    random_state = random_state * 214013u + 2531011u;
    return int((random_state >> 16) & 0x7FFFu);
}

void seed_from_clock() { random_seed(uint32_t(uint64_t(std::time(nullptr)))); }
