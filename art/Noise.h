// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

namespace pio {

// A small seeded generator (SplitMix64) so that every build draws the same grain: the
// standard distributions are allowed to differ between library versions, this is not.
class Noise {
public:
    explicit Noise(std::uint64_t seed) : state_(seed) {}

    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // Uniform in [0, 1), 53 bits.
    double Uniform() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }

    // Roughly normal with mean 0 and standard deviation 1: the sum of twelve uniforms
    // (Irwin-Hall) needs nothing from libm, so the bytes cannot depend on its rounding.
    double Gauss() {
        double sum = 0.0;
        for (int i = 0; i < 12; ++i) sum += Uniform();
        return sum - 6.0;
    }

private:
    std::uint64_t state_;
};

}  // namespace pio
