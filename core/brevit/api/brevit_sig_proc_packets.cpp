// Signal-processing packets: the front end's cepstra handed out one packet
// a frame while listening, and received packets fed into the frame queue.
#include "core/brevit/api/brevit.h"
#include "core/brevit/api/brevit_audio_input.h"
#include "core/brevit/api/brevit_call_frame.h"
#include "core/brevit/api/brevit_engine.h"
#include "core/brevit/frontend/fe.h"
#include "core/brevit/frontend/sig_proc_packet.h"
#include "core/brevit/frontend/utt_det.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem_stack.h"

#include <algorithm>
#include <cstring>

namespace {

int32_t word(int index) { return static_cast<int32_t>(BrevitParam_Word(index)); }

bool isFrame(int32_t status) { return status == kFEStatusSpeech || status == kFEStatusNoSpeech; }

// Zeroed scratch cepstra, freed when the call ends.
class ScratchCepstra {
public:
    explicit ScratchCepstra(int32_t count)
        : m_bytes(static_cast<uint32_t>(std::max(count, 1)) * sizeof(int16_t)),
          m_values(static_cast<int16_t*>(DVKTempMem_Calloc(m_bytes)))
    {
    }
    ~ScratchCepstra() { DVKTempMem_Free(m_values, m_bytes); }
    ScratchCepstra(const ScratchCepstra&) = delete;
    ScratchCepstra& operator=(const ScratchCepstra&) = delete;
    int16_t* values() const { return m_values; }

private:
    uint32_t m_bytes;
    int16_t* m_values;
};

// Bytes a packet of the format must hold for its coder to read it; -1 for
// a format no coder reads.
int32_t bytesReadByCoder(const BrevitSigProcFormat& f)
{
    if (f.coderType == kSigProcCoderRaw)
        return 2 * word(kBrevitParamCepstrumCount) + 9;
    if (f.coderType != kSigProcCoderBitPacked || f.cepstrumCount < 0 ||
        f.cepstrumCount > kSigProcBitTableSize)
        return -1;
    int32_t bits = 2;  // the speech flag
    for (int32_t i = 0; i < f.cepstrumCount; ++i)
        bits += kSigProcPacketBitTableV1[i];
    return (bits + 7) / 8;
}

bool allZero(const BrevitSigProcFormat& f)
{
    return f.coderType == 0 && f.infoSize == 0 && f.packetSize == 0 && f.cepstrumCount == 0 &&
           f.ownFlag1 == 0 && f.ownFlag2 == 0;
}

} // namespace

void BrevitPriv_SetLocalSigProcFormat(BrevitEngine* e, BrevitSigProcFormat* format)
{
    *format = BrevitSigProcFormat{};
    int32_t infoSize = 0;
    int32_t packetSize = 0;
    if (word(kBrevitParamNoLocalSigProcFormat) != 0 ||
        !SigProcPacket_GetSizes(kSigProcCoderRaw, e->frontEnd, &infoSize, &packetSize))
        return;
    *format = {kSigProcCoderRaw, infoSize, packetSize, FE_GetNumCepstra(e->frontEnd), 1, 1};
}

void BrevitPriv_InitSigProcFormats(BrevitEngine* e)
{
    BrevitAudioInput& a = e->audioInput;
    BrevitPriv_SetLocalSigProcFormat(e, &a.incoming);
    a.outgoing = BrevitSigProcFormat{};
    const int32_t choice = word(kBrevitParamPacketFormat);
    int32_t infoSize = 0;
    int32_t packetSize = 0;
    if (choice == 0)
        BrevitPriv_SetLocalSigProcFormat(e, &a.outgoing);
    else if (choice == 1 &&
             SigProcPacket_GetSizes(kSigProcCoderBitPacked, e->frontEnd, &infoSize, &packetSize))
        a.outgoing = {kSigProcCoderBitPacked, infoSize, packetSize,
                      FE_GetNumCepstra(e->frontEnd), 0, 0};
    a.infoWritten = 0;
}

EBrevit Brevit_GetSigProcPacketSize(BrevitEngine* engine, int32_t* size)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        if (size == nullptr)
            return EBrevit_BadArgument;
        *size = e->audioInput.outgoing.packetSize;
        return EBrevit_OK;
    });
}

EBrevit Brevit_GetSigProcInfoSize(BrevitEngine* engine, int32_t* size)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        if (size == nullptr)
            return EBrevit_BadArgument;
        *size = e->audioInput.outgoing.infoSize;
        return EBrevit_OK;
    });
}

EBrevit Brevit_GetSigProcInfo(BrevitEngine* engine, void* buffer)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        if (buffer == nullptr)
            return EBrevit_BadArgument;
        BrevitAudioInput& a = e->audioInput;
        a.infoWritten = 0;
        const int32_t coder = a.outgoing.coderType;
        if ((coder != kSigProcCoderRaw && coder != kSigProcCoderBitPacked) ||
            SigProcPacket_WriteInfo(coder, e->frontEnd, a.outgoing.infoSize, buffer) == 0)
            return EBrevit_EngineError;
        a.infoWritten = 1;
        return EBrevit_OK;
    });
}

EBrevit Brevit_GetNextSigProcPacket(BrevitEngine* engine, void* buffer, int32_t* status)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        if (buffer == nullptr || status == nullptr)
            return EBrevit_BadArgument;
        BrevitAudioInput& a = e->audioInput;
        const BrevitSigProcFormat& f = a.outgoing;
        if (f.coderType != kSigProcCoderRaw && !a.infoWritten)
            return EBrevit_WrongState;
        if (!e->listening) {
            *status = 4;
            return EBrevit_OK;
        }
        ScratchCepstra cepstra(std::max(FE_GetNumCepstra(e->frontEnd), f.cepstrumCount));
        const int32_t s = FE_GetNextCepstra(e->frontEnd, cepstra.values());
        int32_t level = 0;
        switch (s) {
        case 1:
            return EBrevit_EngineError;
        case kFEStatusEnded:
            *status = 4;
            break;
        case kFEStatusNoFrame:
        case kFEStatusNotReady:
            *status = 2;
            break;
        case kFEStatusSpeech:
        case kFEStatusNoSpeech:
            *status = 0;
            level = FE_GetRMS(e->frontEnd) & 0xFFFF;
            break;
        case kFEStatusChannelJump:
            *status = 3;
            level = FE_GetRMS(e->frontEnd) & 0xFFFF;
            break;
        default:
            break;
        }
        // Only a written packet carries the end of speech: "none ready" and
        // "nothing more" must stay what they are for a caller to stop.
        if (a.endFound && *status == 0)
            *status = 1;
        if (!isFrame(s))
            return EBrevit_OK;
        if (f.coderType != kSigProcCoderRaw && f.coderType != kSigProcCoderBitPacked)
            return EBrevit_EngineError;
        std::memset(buffer, 0, static_cast<size_t>(std::max(f.packetSize, 0)));
        if (SigProcPacket_Pack(f.coderType, f.cepstrumCount, cepstra.values(), level,
                               s == kFEStatusSpeech ? 1 : 0, f.packetSize, buffer) == 0)
            return EBrevit_EngineError;
        return EBrevit_OK;
    });
}

EBrevit Brevit_PutSigProcInfo(BrevitEngine* engine, int32_t length, const void* info)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        if (info == nullptr || length < 0)
            return EBrevit_BadArgument;
        if (!SigProcPacket_ReadCodedInfo(length, info))
            return EBrevit_BadArgument;
        const int32_t t = SigProcPacket_GetCoderType(length, info);
        int32_t coder = 0;
        int32_t packetSize = 0;
        int32_t cepstra = 0;
        if (!SigProcPacket_GetInfoParameters(length, info, e->frontEnd, &coder, &packetSize, &cepstra))
            return EBrevit_BadArgument;
        if (t >= -3 && t <= 0) {
            BrevitPriv_SetLocalSigProcFormat(e, &e->audioInput.incoming);
            return EBrevit_OK;
        }
        if (t == kSigProcUnreadable)
            return EBrevit_BadArgument;
        if (t != kSigProcCoderBitPacked)
            return EBrevit_EngineError;
        e->audioInput.incoming = {coder, length, packetSize, cepstra, 0, 0};
        return EBrevit_OK;
    });
}

EBrevit Brevit_PutSigProcPacket(BrevitEngine* engine, int32_t, const void* packet, int32_t* status)
{
    return BrevitPriv_Call(engine, [&](BrevitEngine* e) -> EBrevit {
        if (packet == nullptr || status == nullptr)
            return EBrevit_BadArgument;
        if (!e->listening) {
            *status = 2;
            return EBrevit_OK;
        }
        BrevitAudioInput& a = e->audioInput;
        const BrevitSigProcFormat f = a.incoming;
        // The packet comes from outside: its format must let the coder read
        // no further than the packet reaches.
        const int32_t needed = bytesReadByCoder(f);
        if (allZero(f) || needed < 0 || f.packetSize < needed)
            return EBrevit_BadArgument;
        const int32_t room = std::max(f.cepstrumCount, FE_GetNumCepstra(e->frontEnd));
        ScratchCepstra cepstra(room);
        int32_t level = 0;
        const int32_t n = f.coderType == kSigProcCoderRaw ? room : f.cepstrumCount;
        if (!SigProcPacket_Unpack(f.coderType, packet, n, cepstra.values(), nullptr, &level, nullptr))
            return EBrevit_BadArgument;
        if (BrevitPriv_QueueFull(e)) {
            a.queueOverflowed = 1;
            BrevitPriv_ReleaseCNBuffer(e);
            return EBrevit_EngineError;
        }
        const int32_t s = FE_FeedCepstra(e->frontEnd, cepstra.values(), level);
        if (isFrame(s)) {
            if (a.cnBuffering)
                BrevitPriv_CountCNFrame(e, s);
            if (!(a.deferredFetching != 0 && !a.enrollmentFlag && e->recognitionMode != 6)) {
                const int32_t fetched = BrevitPriv_FetchFrame(e);
                if (isFrame(fetched)) {
                    const int32_t state = BrevitPriv_QueueFrame(e, fetched == kFEStatusNoSpeech);
                    if (state == kUttDetEndFound)
                        BrevitPriv_NoteEndFound(e);
                    else if (state == kUttDetInSpeech)
                        a.speechSeen = 1;
                }
            }
        }
        *status = BrevitPriv_ListenStatus(e);
        return EBrevit_OK;
    });
}
