// Phone models in context: a centre phoneme with its left and right
// neighbours maps to a row of tied states, and the sorted model-to-state
// table turns that row into a phone-model id. The context record built at
// load answers which models a phoneme takes next to given neighbours.
#pragma once

#include <cstdint>

struct AM;

inline constexpr uint16_t kAMNoModel = 32767;
inline constexpr uint16_t kAMSilencePhoneme = 65534;
inline constexpr uint16_t kAMNoPhoneme = 65535;

// Owned by the model; every table is optional and built by AM_InitTables.
struct AMContextRecord {
    uint32_t leading[7];          // handed out by AM_GetTriphoneIdPairData
    uint16_t* firstModel;         // P + 1 entries
    // Per centre c: bytes of one context entry (2 + the centre's bit set)
    // and where its P entries start in the left / right tables.
    uint32_t* entryBytes;
    uint32_t* entryStart;
    uint8_t* leftEntries;         // word 221: per (centre, left)
    uint8_t* rightEntries;        // word 223: per (centre, right)
    uint8_t* rightSets;           // word 204: 8 bytes per model
    uint8_t* leftSets;            // word 205: 8 bytes per model
};

uint16_t AM_GetTiedStateId(const AM* am, uint16_t left, uint16_t centre, uint16_t right,
                           int32_t state);
uint16_t AM_GetTriphoneId(const AM* am, uint16_t left, uint16_t centre, uint16_t right);
uint16_t AM_ConvertPhonemesToTriphoneIds(const AM* am, const uint16_t* phonemes, int32_t n,
                                         uint16_t* out, uint16_t leftOuter, uint16_t rightOuter);
int32_t AM_ConvertPhonemesToStateIDs(const AM* am, const uint16_t* phonemes, int32_t n,
                                     uint16_t* out, uint16_t leftOuter, uint16_t rightOuter);
uint16_t AM_GetTriphoneCentrePhoneme(AM* am, uint16_t model);
void AM_ConvertTriphonesToPhonemes(AM* am, const uint16_t* models, int32_t n, uint16_t* out);
int32_t AM_CompareTriphoneIds(const void* a, const void* b);
int32_t AM_ListRightExpansions(const AM* am, uint16_t* out, uint16_t left, uint16_t centre);
int32_t AM_ListLeftExpansions(const AM* am, uint16_t* out, uint16_t centre, uint16_t right);
int32_t AM_GetPairedPhonemes(const AM* am, uint16_t* out, uint16_t left, uint16_t centre);
int32_t AM_GetLeftPairedModels(const AM* am, uint16_t* out, uint16_t centre, uint16_t right);
int32_t AM_ModelMatchesContext(const AM* am, uint16_t left, uint16_t centre, uint16_t right,
                               uint16_t model);
int32_t AM_IsLeftContextOf(const AM* am, uint16_t left, uint16_t centre, uint16_t right,
                           uint16_t model);
int32_t AM_IsRightContextOf(const AM* am, uint16_t left, uint16_t centre, uint16_t right,
                            uint16_t model);
int32_t AM_TestPhonemePair(AM* am, uint16_t modelA, uint16_t modelB);
// 1 when the table exists afterwards.
int32_t AM_BuildFirstModelTable(AM* am);
uint16_t AM_GetPhonemeId(const AM* am, const char* name);
const char* AM_GetPhonemeName(const AM* am, uint16_t id);
void AM_GetTriphoneIdPairData(const AM* am, uint32_t* w0, uint32_t* w1, uint32_t* w2,
                              uint32_t* w3, uint32_t* w4, uint32_t* w5, uint32_t* w6,
                              int32_t* modelCount);
// Builds the context record's tables the global parameter words ask for;
// 0 when a block cannot be allocated or the first-model table is unusable.
int32_t AM_InitContextTables(AM* am);
void AM_FreeContextTables(AM* am);
