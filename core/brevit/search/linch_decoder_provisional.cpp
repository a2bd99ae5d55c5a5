// Stand-in for the linear-chain decoder's creator: forwards to an installed
// creator, else makes nothing.
#include "core/brevit/search/linch_decoder_provisional.h"

#include "core/brevit/search/decoder.h"

namespace {

LinChDecoderCreator g_creator = nullptr;

} // namespace

LinChDecoderCreator LinChDecoder_InstallCreator(LinChDecoderCreator creator)
{
    LinChDecoderCreator previous = g_creator;
    g_creator = creator;
    return previous;
}

Decoder* LinChDecoder_CreateForKind(Voc* vocabulary, AM* model, int32_t option, int32_t kind7, int32_t kind9)
{
    return g_creator != nullptr ? g_creator(vocabulary, model, option, kind7, kind9) : nullptr;
}
