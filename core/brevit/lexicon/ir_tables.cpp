// Fixed-point log tables of the phrase index, each made once from its rule so
// that scoring only looks values up.
#include "core/brevit/lexicon/ir.h"

#include <cmath>
#include <cstdlib>

namespace {

uint8_t bitLength(uint32_t i)
{
    uint8_t n = 0;
    while (i != 0) {
        ++n;
        i >>= 1;
    }
    return n;
}

IRTables makeTables()
{
    IRTables t{};
    t.logN[0] = 255;
    for (int n = 1; n <= 256; ++n)
        t.logN[n] = static_cast<uint8_t>(std::lround(20.0 * std::log(static_cast<double>(n))));
    for (uint32_t i = 0; i < 256; ++i)
        t.shiftP[i] = t.shiftPower[i] = bitLength(i);
    for (int s = 0; s < 16; ++s)
        t.pLogTwo[s] = static_cast<uint8_t>(std::lround(20.0 * s * std::log(2.0)));
    for (int d = 0; d < 74; ++d)
        t.logAddCorrection[d] =
            static_cast<uint8_t>(std::lround(20.0 * std::log(1.0 + std::exp(-d / 20.0))));
    t.weight[0] = 255;
    for (int i = 1; i <= 20; ++i)
        t.weight[i] = static_cast<uint8_t>(std::lround(-20.0 * std::log(i / 20.0)));
    // Entry 0 is 1/x for a mantissa of exactly 0.5: 2, i.e. 256 on this scale.
    t.inverse[0] = 256;
    for (int i = 1; i < 128; ++i)
        t.inverse[i] = static_cast<uint16_t>(32768 / (128 + i));
    for (int i = 0; i < 128; ++i) {
        t.sqrtOne[i] = static_cast<uint16_t>(std::lround(65536.0 * std::sqrt((128 + i) / 256.0)));
        t.sqrtTwo[i] = static_cast<uint16_t>(std::lround(65536.0 * std::sqrt((128 + i) / 512.0)));
    }
    return t;
}

}  // namespace

const IRTables& IR_GetTables()
{
    static const IRTables tables = makeTables();
    return tables;
}

uint16_t IR_LogN(uint32_t x)
{
    const IRTables& t = IR_GetTables();
    if (x <= 256)
        return t.logN[x];
    if (x > 0x7FFFFF)
        x = 0x7FFFFF;
    uint32_t e = 0;
    while ((x >> e) > 65535)
        ++e;
    const uint32_t s = e + t.shiftP[(x >> e) >> 8];
    return static_cast<uint16_t>(t.logN[(x + (1u << (s - 1))) >> s] + t.pLogTwo[s]);
}

int16_t IR_LogAdd(int32_t a, int32_t b)
{
    const int32_t d = std::abs(static_cast<int16_t>(a - b));
    const int32_t low = a < b ? a : b;
    if (d <= 73)
        return static_cast<int16_t>(low - IR_GetTables().logAddCorrection[d]);
    return static_cast<int16_t>(low);
}

int compareIRIdCountIds(const void* a, const void* b)
{
    const uint16_t x = *static_cast<const uint16_t*>(a);
    const uint16_t y = *static_cast<const uint16_t*>(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}
