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
    m_state = (z ^ (z >> 31)) | 1;
    m_hasSpare = false;
}

uint64_t NoiseSource::NextBits() {
    m_state ^= m_state >> 12;
    m_state ^= m_state << 25;
    m_state ^= m_state >> 27;
    return m_state * 2685821657736338717ULL;
}

double NoiseSource::Uniform() {
    return static_cast<double>(NextBits() >> 11) * (1.0 / 9007199254740992.0);
}

double NoiseSource::Gaussian() {
    if (m_hasSpare) {
        m_hasSpare = false;
        return m_spare;
    }
    // Box-Muller; 1 - Uniform() lies in (0, 1] so the logarithm is finite.
    double radius = std::sqrt(-2.0 * std::log(1.0 - Uniform()));
    double angle = 2.0 * std::numbers::pi * Uniform();
    m_spare = radius * std::sin(angle);
    m_hasSpare = true;
    return radius * std::cos(angle);
}

}  // namespace kvt::sim
