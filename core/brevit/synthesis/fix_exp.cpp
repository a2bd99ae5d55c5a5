#include "core/brevit/synthesis/fix_exp.h"

#include "core/brevit/synthesis/cep_fixed.h"

namespace {

constexpr int64_t kInvLn2Q15 = 47274;
constexpr int64_t kLn2Q15 = 22713;

// k = floor(x / ln 2) and the remainder r in [0, ln 2) in Q15.
void splitExponent(int16_t x, int32_t e, int64_t* k, int64_t* r)
{
    int64_t kk;
    if (x >= 0)
        kk = CepFixed_Shr(x * kInvLn2Q15, e + 15);
    else
        kk = ~CepFixed_Shr(static_cast<int64_t>(~x) * kInvLn2Q15, e + 15);
    const int64_t xq = 15 - e >= 0 ? static_cast<int64_t>(x) * (int64_t{1} << (15 - e))
                                   : CepFixed_Shr(x, e - 15);
    int64_t rr = xq - kLn2Q15 * kk;
    if (rr > kLn2Q15 - 1) {
        kk += 1;
        rr -= kLn2Q15;
    }
    if (rr < 0) {
        kk -= 1;
        rr += kLn2Q15;
    }
    *k = kk;
    *r = rr;
}

// m / 32768 close to exp(r / 32768) / 2.
int64_t mantissa(int64_t r)
{
    return (((r * ((23437 * r + 1016774656) >> 15) + 16384) >> 15) + 32769) >> 1;
}

} // namespace

void FixExp(int16_t* x, int32_t* e)
{
    int64_t k = 0;
    int64_t r = 0;
    splitExponent(*x, *e, &k, &r);
    *x = static_cast<int16_t>(mantissa(r));
    *e = static_cast<int32_t>(14 - k);
}

int32_t FixExpVector(int32_t n, int16_t* v, int32_t e)
{
    int32_t j = 0;
    for (int32_t i = 1; i < n; ++i)
        if (v[i] > v[j])
            j = i;
    int32_t shift = e;
    FixExp(&v[j], &shift);
    for (int32_t i = 0; i < n; ++i) {
        if (i == j)
            continue;
        int64_t k = 0;
        int64_t r = 0;
        splitExponent(v[i], e, &k, &r);
        const int64_t t = 14 - k - shift;
        // t = 0 keeps the mantissa; a shift past its bits rounds to 0.
        v[i] = static_cast<int16_t>(
            CepFixed_Sat16(CepFixed_RoundShift(mantissa(r), t > 63 ? 63 : static_cast<int32_t>(t))));
    }
    return shift;
}
