// Until the cepstral driver exists, no model set carries a synthesiser.
#include "core/brevit/synthesis/cep_tts.h"

TTS* CepTTS_LoadFromBinFile(DVKTar*, const char*, Voc*)
{
    return nullptr;
}
