#pragma once
// The program-wide random generator: MT19937 with the intro's own seeding.
#include <cstdint>

// Fills the 624 state words as s[0] = seed, s[i] = s[i-1] * 1664525 + 1013904223 (mod 2^32).
// The first draw after seeding twists the whole state.
void seed_random(uint32_t seed);

// Next tempered 32-bit word.
uint32_t random_word();

// Next number in [0, 1): the tempered word times 2^-32.
double random_unit();
