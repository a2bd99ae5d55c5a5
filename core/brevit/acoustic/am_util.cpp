// Model utilities that adaptation and the synthesiser need beside scoring.
#include "core/brevit/acoustic/am.h"
#include "core/brevit/acoustic/am_params.h"

namespace {

// Weight d of the shared row of covariance type 2, as the kernels read it:
// 4-bit pairs or bytes widened, else 16-bit words. No row weighs 0.
double sharedWeight(const AM* am, int32_t d)
{
    if (const uint16_t* row = AM_GetInvVarianceRow16(am, 0, 0))
        return row[d];
    const uint8_t* bytes = AM_GetInvVarianceRowByte(am, 0, 0);
    if (bytes == nullptr)
        return 0.0;
    if (!am->fourBitWeights)
        return bytes[d];
    // Laplacian 4-bit rows pair byte j of a group with byte 3 - j.
    const int32_t at = am->laplacian ? 4 * (d / 8) + 3 - (d % 8) / 2 : d / 2;
    return (bytes[at] >> (4 * (d % 2))) & 0x0F;
}

} // namespace

void AM_GetInvVariances(const AM* am, double* out)
{
    const auto* scale = static_cast<const int32_t*>(am->unscaleScale.data);
    // In doubles: 32 / v in integers would zero every weight for v > 32.
    const double scalar = 32.0 / am->invVarScale;
    for (int32_t d = 0; d < am->featureDim; ++d) {
        const double w = am->covType == 2 ? sharedWeight(am, d) : scalar;
        const double s = scale != nullptr ? scale[d] : 1.0;
        out[d] = w / (s * s * am->roundingWord);
    }
}
