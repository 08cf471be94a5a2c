#include "foundation/values/random.h"

#include <chrono>
#include <random>

namespace vorel {

namespace {
std::mt19937_64& Generator()
{
    static std::mt19937_64 generator(20240611);
    return generator;
}
} // namespace

void RandomizeFromClock()
{
    RandomSeed(std::uint64_t(std::chrono::system_clock::now().time_since_epoch().count()));
}

void RandomSeed(std::uint64_t seed)
{
    Generator().seed(seed);
}

int RandomInt(int range)
{
    if (range <= 0)
        return 0;
    std::uniform_int_distribution<int> dist(0, range - 1);
    return dist(Generator());
}

} // namespace vorel
