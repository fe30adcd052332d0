#include "MediaTypes.h"

#include <numeric>

namespace ff {

namespace {
Rational normalised(int64_t num, int64_t den)
{
    if (den < 0) {
        num = -num;
        den = -den;
    }
    const int64_t g = std::gcd(num, den);
    return g > 1 ? Rational(num / g, den / g) : Rational(num, den);
}
} // namespace

Rational Rational::operator+(const Rational &o) const
{
    return normalised(num * o.den + o.num * den, den * o.den);
}

Rational Rational::operator-(const Rational &o) const
{
    return normalised(num * o.den - o.num * den, den * o.den);
}

int64_t Rational::toSamples(int rate) const
{
    // Rounded to nearest, halves away from zero, in exact integer arithmetic.
    const __int128 scaled = __int128(num) * rate;
    const __int128 d = den;
    const __int128 q = scaled >= 0 ? (scaled * 2 + d) / (2 * d) : -((-scaled * 2 + d) / (2 * d));
    return int64_t(q);
}

} // namespace ff
