// Signal-processing info blocks and packets arrive from a remote peer: read
// the input's info block through every info reader and, when it gives a
// packet format, unpack the rest of the input as packets of that format.
#include "core/brevit/frontend/sig_proc_packet.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "fuzz/brevit_sig_proc/sig_proc_fuzz_input.h"
#include "tests/support/system_engine_context.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// A copy of exactly size bytes, so reads past the block show up.
uint8_t* exactCopy(const uint8_t* data, size_t size)
{
    auto* copy = static_cast<uint8_t*>(std::malloc(size > 0 ? size : 1));
    if (size > 0)
        std::memcpy(copy, data, size);
    return copy;
}

void readInfo(int32_t size, const uint8_t* info)
{
    SigProcPacket_GetCoderTypeRaw(size, info);
    SigProcPacket_GetCoderType(size, info);
    SigProcPacket_ReadCodedInfo(size, info);
    int32_t values[7];
    SigProcPacket_RetrieveFEParameters(size, info, &values[0], &values[1], &values[2], &values[3],
                                       &values[4], &values[5], &values[6]);
}

void unpackAll(const uint8_t* data, size_t size, int32_t coder, int32_t packetSize, int32_t cepstra)
{
    if (packetSize < 1 || cepstra < 0)
        return;
    std::vector<int16_t> out(static_cast<size_t>(cepstra) + 1);
    for (size_t at = 0; at + static_cast<size_t>(packetSize) <= size; at += packetSize) {
        uint8_t* packet = exactCopy(data + at, packetSize);
        int32_t count = 0, rms = 0, flag = 0;
        SigProcPacket_Unpack(coder, packet, cepstra, out.data(), &count, &rms, &flag);
        std::free(packet);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < sig_proc_fuzz::kHeaderBytes || size > 1 << 16)
        return 0;
    SystemEngineContext context;
    BrevitGlobalParameters parameters{};
    sig_proc_fuzz::setReceiverWords(sig_proc_fuzz::cepstrumCount(data[0]),
                                    [&](int word, uint32_t value) { parameters.words[word] = value; });
    BrevitGlobalParameters* previous = gpBrevitGlobalParameters;
    gpBrevitGlobalParameters = &parameters;

    size_t infoSize = data[1] | (size_t{data[2]} << 8);
    const size_t rest = size - sig_proc_fuzz::kHeaderBytes;
    if (infoSize > rest)
        infoSize = rest;
    uint8_t* info = exactCopy(data + sig_proc_fuzz::kHeaderBytes, infoSize);
    readInfo(static_cast<int32_t>(infoSize), info);
    int32_t coder = 0, packetSize = 0, cepstra = 0;
    if (SigProcPacket_GetInfoParameters(static_cast<int32_t>(infoSize), info, nullptr, &coder,
                                        &packetSize, &cepstra))
        unpackAll(data + sig_proc_fuzz::kHeaderBytes + infoSize, rest - infoSize, coder,
                  packetSize, cepstra);
    std::free(info);

    gpBrevitGlobalParameters = previous;
    if (context.liveBlocks() != 0)
        std::abort();
    return 0;
}
