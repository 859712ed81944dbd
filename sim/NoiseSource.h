#pragma once

#include <cstdint>

namespace kvt::sim {

// Deterministic pseudo-random numbers (xorshift64*) with a normal deviate,
// so that one seed always gives the same readings.
class NoiseSource {
public:
    explicit NoiseSource(uint64_t seed) { Reseed(seed); }

    void Reseed(uint64_t seed);
    double Uniform();   // [0, 1)
    double Gaussian();  // mean 0, standard deviation 1

private:
    uint64_t NextBits();

    uint64_t m_state = 1;
    double m_spare = 0;
    bool m_hasSpare = false;
};

}  // namespace kvt::sim
