// Until the linear-chain decoder exists, engines of generated model sets get
// a decoder of the asked kind that decodes nothing (the dummy's slots),
// installed through the creator seam; a log keeps the kinds and models asked
// for, and a switch makes it refuse.
//
// Header-only and free of the test framework (fuzz targets and benchmarks
// use it too).
#pragma once

#include "core/brevit/search/decoder.h"
#include "core/brevit/search/linch_decoder_provisional.h"

#include <vector>

struct LinChLog {
    std::vector<int32_t> kinds;
    std::vector<const AM*> models;
    bool refuse = false;
};

inline LinChLog& linChLog()
{
    static LinChLog log;
    return log;
}

inline Decoder* loggingLinCh(Voc* vocabulary, AM* model, int32_t option, int32_t kind7, int32_t kind9)
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
