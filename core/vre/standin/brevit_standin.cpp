// The engine entry points the recogniser wrapper calls, for a program built
// without the engine: no model set is stored, no model file can be read
// (4), and every other call fails (1). A session then reports its language
// as not supported.
#include "core/brevit/api/brevit.h"

namespace {

const EBrevit kNoEngine = EBrevit_EngineError;

}  // namespace

EBrevit Brevit_GetNumberStoredModelSets(BrevitAllocator*, int32_t* count)
{
    if (count == nullptr)
        return EBrevit_BadArgument;
    *count = 0;
    return EBrevit_OK;
}

EBrevit Brevit_GetBinFileModelSetInfo(const char*, BrevitAllocator*, int32_t*, int32_t*, int32_t, char*,
                                      uint32_t*, uint32_t*, int32_t*, int32_t*)
{
    return EBrevit_BadArgument;
}

EBrevit Brevit_GetNthStoredModelSet(int32_t, BrevitAllocator*, int32_t, char*, uint32_t*, uint32_t*)
{
    return kNoEngine;
}
EBrevit Brevit_CreateFromBinFile(const char*, BrevitAllocator*, BrevitEngine**) { return kNoEngine; }
EBrevit Brevit_Destroy(BrevitEngine*, BrevitAllocator**) { return kNoEngine; }
EBrevit Brevit_ReleaseUnusedMemory(BrevitEngine*, int32_t) { return kNoEngine; }
EBrevit Brevit_SaveToStoragePair(BrevitEngine*, const char*, const char*) { return kNoEngine; }
EBrevit Brevit_LoadFromStoragePair(BrevitEngine*, const char*, const char*) { return kNoEngine; }
EBrevit Brevit_FindConstraint(BrevitEngine*, const char*, int32_t*) { return kNoEngine; }
EBrevit Brevit_CreateEmptyClassPairConstraint(BrevitEngine*, const char*, int32_t, int32_t, int32_t, int32_t*)
{
    return kNoEngine;
}
EBrevit Brevit_AddClassPairTransition(BrevitEngine*, int32_t, const char*, const char*, int32_t, int32_t*)
{
    return kNoEngine;
}
EBrevit Brevit_DeleteConstraint(BrevitEngine*, int32_t) { return kNoEngine; }
EBrevit Brevit_DeleteAllConstraints(BrevitEngine*) { return kNoEngine; }
EBrevit Brevit_AddClass(BrevitEngine*, const char*, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t*)
{
    return kNoEngine;
}
EBrevit Brevit_ClassExists(BrevitEngine*, const char*, int32_t*) { return kNoEngine; }
EBrevit Brevit_ClassGetNumMembers(BrevitEngine*, const char*, int32_t*) { return kNoEngine; }
EBrevit Brevit_AddClassMemberFromIds(BrevitEngine*, const char*, int32_t, const VocId*, int32_t, int32_t, int32_t*)
{
    return kNoEngine;
}
EBrevit Brevit_RemoveClassMembers(BrevitEngine*, const char*, int32_t*) { return kNoEngine; }
EBrevit Brevit_FindBestParse(BrevitEngine*, int32_t, const int32_t*, int32_t, const VocId*, int32_t*, uint32_t*,
                             int32_t*)
{
    return kNoEngine;
}
EBrevit Brevit_StartListening(BrevitEngine*, uint32_t*) { return kNoEngine; }
EBrevit Brevit_StopListening(BrevitEngine*) { return kNoEngine; }
EBrevit Brevit_PutWaveSamples(BrevitEngine*, const int16_t*, int32_t, int32_t*) { return kNoEngine; }
EBrevit Brevit_ClearFeatureQueueStats(BrevitEngine*) { return kNoEngine; }
EBrevit Brevit_GrammarClear(BrevitEngine*) { return kNoEngine; }
EBrevit Brevit_GrammarAddNonTerminal(BrevitEngine*, const char*, const char*) { return kNoEngine; }
EBrevit Brevit_TokenizeU(BrevitEngine*, const uint16_t*, int32_t, int32_t, int32_t, VocId*, int32_t*, int32_t*,
                         int32_t*)
{
    return kNoEngine;
}
EBrevit Brevit_GetSpokenFormU(BrevitEngine*, VocId, int32_t, uint16_t*) { return kNoEngine; }
EBrevit Brevit_GetSurfaceFormU(BrevitEngine*, VocId, int32_t, uint16_t*) { return kNoEngine; }
EBrevit Brevit_GetSigProcPacketSize(BrevitEngine*, int32_t*) { return kNoEngine; }
EBrevit Brevit_GetSigProcInfoSize(BrevitEngine*, int32_t*) { return kNoEngine; }
EBrevit Brevit_GetSigProcInfo(BrevitEngine*, void*) { return kNoEngine; }
EBrevit Brevit_GetNextSigProcPacket(BrevitEngine*, void*, int32_t*) { return kNoEngine; }
EBrevit Brevit_StartRecognizing(BrevitEngine*, uint32_t, int32_t, int32_t, const VocId*, int32_t, const int32_t*)
{
    return kNoEngine;
}
EBrevit Brevit_ProcessFrame(BrevitEngine*, int32_t*) { return kNoEngine; }
EBrevit Brevit_StopRecognizing(BrevitEngine*, int32_t) { return kNoEngine; }
EBrevit Brevit_PrecomputeStartRecognizing(BrevitEngine*) { return kNoEngine; }
EBrevit Brevit_PrepareChoiceList(BrevitEngine*, int32_t*, int32_t*) { return kNoEngine; }
EBrevit Brevit_GetChoice(BrevitEngine*, int32_t, int32_t, VocId*, int32_t*) { return kNoEngine; }
EBrevit Brevit_GetChoiceAndScoreExtended(BrevitEngine*, int32_t, int32_t, int32_t, int32_t, VocId*, int32_t*,
                                         int32_t*, int32_t*, const char**, int32_t*, int32_t*, int32_t*, int32_t*,
                                         int32_t*, int32_t*, int32_t*, int32_t*)
{
    return kNoEngine;
}
EBrevit Brevit_DiscardChoice(BrevitEngine*, int32_t) { return kNoEngine; }
EBrevit Brevit_ParseChoiceWords(BrevitEngine*, int32_t, const char*, int32_t, int32_t, int32_t*) { return kNoEngine; }
EBrevit Brevit_RerecognizeChoiceList(BrevitEngine*, int32_t) { return kNoEngine; }
EBrevit Brevit_StartTTSFromIds(BrevitEngine*, const VocId*, int32_t, int32_t, int32_t, int32_t, int32_t)
{
    return kNoEngine;
}
EBrevit Brevit_StartTTSFromTextU(BrevitEngine*, const uint16_t*, int32_t, int32_t, int32_t, int32_t)
{
    return kNoEngine;
}
EBrevit Brevit_ProcessTTSPCM(BrevitEngine*, int32_t, int16_t*, int32_t*, int32_t*) { return kNoEngine; }
EBrevit Brevit_ProcessTTS(BrevitEngine*, int32_t, uint8_t*, int32_t*, int32_t*, int32_t*) { return kNoEngine; }
EBrevit Brevit_GetTTSEncoding(BrevitEngine*, int32_t*) { return kNoEngine; }
EBrevit Brevit_StopTTS(BrevitEngine*) { return kNoEngine; }
EBrevit Brevit_StartEnrollmentSession(BrevitEngine*) { return kNoEngine; }
EBrevit Brevit_SetEnrollmentConstraint(BrevitEngine*, int32_t, const VocId*) { return kNoEngine; }
EBrevit Brevit_ProcessEnrollment(BrevitEngine*) { return kNoEngine; }
EBrevit Brevit_EndEnrollmentSession(BrevitEngine*, int32_t) { return kNoEngine; }
EBrevit Brevit_GetEnrollmentStatus(BrevitEngine*, int32_t*) { return kNoEngine; }
EBrevit Brevit_MakePhraseActiveU(BrevitEngine*, const uint16_t*, int32_t, VocId*, int32_t*) { return kNoEngine; }
EBrevit Brevit_MakeNameActiveU(BrevitEngine*, const uint16_t*, int32_t, VocId*, int32_t*) { return kNoEngine; }
EBrevit Brevit_MakeSpokenPhraseActiveU(BrevitEngine*, const uint16_t*, const uint16_t*, int32_t, VocId*, int32_t*)
{
    return kNoEngine;
}
EBrevit Brevit_RemoveUnreferencedWordIds(BrevitEngine*, int32_t, int32_t*) { return kNoEngine; }
