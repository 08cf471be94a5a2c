#pragma once
// The process-wide pseudo-random generator (RANDOM in expressions). Seeded
// from the clock at library start-up; tests seed it explicitly.

#include <cstdint>

namespace vorel {

void RandomizeFromClock();
void RandomSeed(std::uint64_t seed);
// Uniform in 0 .. range - 1; 0 when range <= 0.
int RandomInt(int range);

} // namespace vorel
