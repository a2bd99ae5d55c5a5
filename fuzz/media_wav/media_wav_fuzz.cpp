// The desktop capture reads any file it is pointed at as a WAV source: parse
// any bytes; what it accepts holds no more samples than the bytes carry.
#include "platform/media/media_wav.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<int16_t> samples;
    std::string error;
    if (media::wavParse(data, size, samples, error)) {
        if (samples.size() * 2 + 44 > size)
            std::abort();
    } else if (error.empty()) {
        std::abort(); // a refusal names its reason
    }
    return 0;
}
