#ifndef TAVO_IMAGING_RANDOMDRAWS_H
#define TAVO_IMAGING_RANDOMDRAWS_H

#include <cstdint>

// Pulverize's random numbers: one long stream of 16-bit draws in which draw n
// is a pure function of n. A filter can therefore take its draws in whatever
// order its loops like and still hand every pixel the draws that taking them
// one after the other would.
//
// For even n, draws n and n + 1 are the upper two 16-bit quarters (the
// higher one first) of splitmix64's output for the counter (n + 1) x step,
// so one mix serves both offsets of a pixel.
namespace randomdraws {

constexpr std::uint64_t step = 0x9E3779B97F4A7C15ull;

// The pair of draws whose counter is given: the even draw in the upper, the
// odd one in the lower 16 bits.
inline std::uint32_t pairFromCounter(std::uint64_t counter)
{
    std::uint64_t z = counter;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return std::uint32_t((z ^ (z >> 31)) >> 32);
}

inline std::uint32_t drawAt(std::uint64_t n)
{
    const std::uint32_t pair = pairFromCounter(((n & ~std::uint64_t(1)) + 1) * step);
    return (n & 1) ? pair & 0xFFFF : pair >> 16;
}

} // namespace randomdraws

#endif
