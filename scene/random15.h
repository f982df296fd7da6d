// The scene's own pseudo-random generator: a 32-bit linear congruential state whose
// bits 16..30 give values 0..32767. Every random value of the scene comes from it.
#pragma once

#include <cstdint>

void random_seed(uint32_t value);
int random15();
// Seeds with the calendar time in whole seconds since 1970, modulo 2^32.
void seed_from_clock();
