#pragma once

#include <cmath>
#include <optional>

// The program's one rounding: to the nearest whole number, halves to the even one (2.5 -> 2,
// 3.5 -> 4, -2.5 -> -2). Every average, threshold, scaled cell and typed fraction goes through it.

// `below` is the whole number at or under the value; `rest` (0 <= rest < 1) how far above it the
// value lies, given only as its comparison with one half.
constexpr long long roundHalfEven(long long below, int restAgainstHalf)
{
    const bool up = restAgainstHalf > 0 || (restAgainstHalf == 0 && below % 2 != 0);
    return up ? below + 1 : below;
}

// numerator / denominator for a numerator of either sign and a denominator above 0.
constexpr long long divideHalfEven(long long numerator, long long denominator)
{
    long long below = numerator / denominator;
    long long rest = numerator % denominator;
    if (rest < 0) { // division truncates toward zero; the rule wants the whole number below
        --below;
        rest += denominator;
    }
    const long long twiceRest = 2 * rest;
    return roundHalfEven(below, twiceRest < denominator ? -1 : twiceRest > denominator ? 1 : 0);
}

// None for a value that is not finite or lies beyond 64-bit integers.
inline std::optional<long long> roundHalfEven(double value)
{
    if (!std::isfinite(value) || std::fabs(value) > 9.0e18) return std::nullopt;
    const double below = std::floor(value);
    const double rest = value - below; // exact for a double
    return roundHalfEven(static_cast<long long>(below), rest < 0.5 ? -1 : rest > 0.5 ? 1 : 0);
}
