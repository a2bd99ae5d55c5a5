#include "oem/AmrStub.h"

#include "src/QrvLog.h"

extern "C" {
#include <opencore-amrnb/interf_dec.h>
}

namespace {

constexpr int32_t kFrameSizes[16] = {13, 14, 16, 18, 20, 21, 27, 32, 6, 7, 6, 6, 0, 0, 0, 0};

void* s_decoder = nullptr;

WexLogger& log()
{
    return QrvLog::multiThread::qrvLogPlayer();
}

} // namespace

void Decode_Init_AMR()
{
    if (s_decoder == nullptr)
        s_decoder = Decoder_Interface_init();
}

void Decode_Cleanup_AMR()
{
    if (s_decoder != nullptr)
        Decoder_Interface_exit(s_decoder);
    s_decoder = nullptr;
}

int32_t AMR_frameSize(uint8_t header)
{
    return kFrameSizes[(header >> 3) & 0x0f];
}

bool Decode_AMR(int16_t* output, const uint8_t* frame, int32_t length)
{
    if (s_decoder == nullptr || frame == nullptr || length < 1)
        return false;
    const int32_t size = AMR_frameSize(frame[0]);
    if (size <= 0 || length < size)
        return false;
    // The last argument is the bad-frame flag: 1 would conceal every frame.
    Decoder_Interface_Decode(s_decoder, frame, output, 0);
    return true;
}

void Encode_Init_AMR()
{
    log().log(WexLogTrace, "%s", __func__);
}

void Encode_AMR()
{
    log().log(WexLogTrace, "%s", __func__);
}

void Encode_Cleanup_AMR()
{
    log().log(WexLogTrace, "%s", __func__);
}
