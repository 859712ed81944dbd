#include "sim/NoiseSource.h"

#include <cmath>
#include <numbers>

namespace kvt::sim {

void NoiseSource::Reseed(uint64_t seed) {
    // splitmix64 spreads small seeds over the whole state; zero is not a
    // valid xorshift state.
    uint64_t z = seed + 0x9E3779B97F4A7C15ULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    state_ = (z ^ (z >> 31)) | 1;
    hasSpare_ = false;
}

uint64_t NoiseSource::NextBits() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 2685821657736338717ULL;
}

double NoiseSource::Uniform() {
    return static_cast<double>(NextBits() >> 11) * (1.0 / 9007199254740992.0);
}

double NoiseSource::Gaussian() {
    if (hasSpare_) {
        hasSpare_ = false;
        return spare_;
    }
    // Box-Muller; 1 - Uniform() lies in (0, 1] so the logarithm is finite.
    double radius = std::sqrt(-2.0 * std::log(1.0 - Uniform()));
    double angle = 2.0 * std::numbers::pi * Uniform();
    spare_ = radius * std::sin(angle);
    hasSpare_ = true;
    return radius * std::cos(angle);
}

}  // namespace kvt::sim
