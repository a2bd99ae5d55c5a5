#include "tests/brevit/api/create/linch_stand_in.h"

LinChLog& linChLog()
{
    static LinChLog log;
    return log;
}

// The linker's --wrap of LinChDecoder_CreateForKind(Voc*, AM*, int, int, int)
// names the replacement after the mangled name.
extern "C" Decoder* __wrap__Z26LinChDecoder_CreateForKindP3VocP2AMiii(Voc* vocabulary, AM* model, int32_t option,
                                                                         int32_t kind7, int32_t kind9)
{
    LinChLog& log = linChLog();
    const int32_t kind = kind7 ? kDecoderKindLinearChain7 : kind9 ? kDecoderKindLinearChain9 : kDecoderKindLinearChain;
    log.kinds.push_back(kind);
    log.models.push_back(model);
    if (log.refuse)
        return nullptr;
    Decoder* d = Decoder_Create(vocabulary, model, nullptr, nullptr, option, kDecoderKindDummy);
    if (d != nullptr)
        d->kind = kind;
    return d;
}
