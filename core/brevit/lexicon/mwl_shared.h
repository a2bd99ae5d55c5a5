// What the plain and the compressed word-list stores do alike over their
// static words and the run-time part: recognition prons from master prons,
// gender and legality of prons, and adding words and prons. A store hands
// over a view of its fields; its static prons come through its own reader.
#pragma once

#include "core/brevit/lexicon/mwl.h"
#include "core/brevit/lexicon/mwl_dynamic.h"
#include "core/brevit/search/phone_rewrite.h"

#include <cstdint>
#include <vector>

struct MWLShared {
    MWL* list;                      // the store itself, for its own slots
    const PhoneRewrite* rules;      // may be null
    int32_t maxMasterPhoneme;
    MWLDynamic* dynamic;
    const uint8_t* genders;         // may be null
    int32_t genderLength;
    uint16_t marker;                // 0xFFFF none
    int32_t wordCount;              // N
    // The store's current maxima, raised by run-time words.
    int32_t& maxSurface;
    int32_t& maxSpoken;
    int32_t& maxRecog;
    int32_t& maxMaster;
    // A static word's prons (buffers of the longest master pron + 1): the
    // count; capacity 0 counts without writing (1 for a generated pron).
    int32_t (*staticMasters)(const MWL* list, uint32_t id, int32_t capacity, uint16_t* const* prons);
};

int32_t MWLShared_GetRecogPronunciations(const MWLShared* l, uint32_t id, int32_t capacity,
                                         uint16_t* const* prons);
int32_t MWLShared_ConvertMasterToRecogPron(const MWLShared* l, const uint16_t* master, uint16_t* recog);
int32_t MWLShared_IsMasterPronunciationLegal(const MWLShared* l, const uint16_t* pron);
int32_t MWLShared_IsPronunciationLegal(const MWLShared* l, const uint16_t* pron);
uint32_t MWLShared_AddWordWithPronunciations(const MWLShared* l, const uint16_t* surface, const uint16_t* spoken,
                                             int32_t count, const uint16_t* const* prons, int32_t flags,
                                             int32_t sharing);
uint32_t MWLShared_AddWord(const MWLShared* l, const uint16_t* surface, const uint16_t* spoken,
                           const uint16_t* const* recogProns, int32_t count, int32_t flags);
int32_t MWLShared_AddMasterPronunciation(const MWLShared* l, uint32_t id, const uint16_t* pron);
int32_t MWLShared_RemovePronunciation(const MWLShared* l, uint32_t id, int32_t index, int32_t* freed);
int32_t MWLShared_GetGender(const MWLShared* l, uint32_t id, int32_t index);

// The coder of a compact-Unicode list's surface texts. Neither store keeps
// one: both take the run-time part's for the list's language, so keys are
// built alike by the stores, their writers and the run-time words.
void MWLShared_SurfaceCoder(const char* language, DVKSCSU* coder);
// Whether a stored word found at the start of a text (its key n bytes long)
// matches the text's case: a code-16 word by its exact spelling (exact, of
// exactLength bytes) equal to the text's over n bytes; otherwise the word's
// code shares a bit with the text's (a code-16 text: the code of its own
// spelling over n bytes).
bool MWLShared_MatchesAtStart(int32_t code, const uint8_t* exact, size_t exactLength, size_t n, int32_t textCode,
                              const std::vector<uint8_t>& exactText, int32_t encoding);
// The runtime's encoder has no code 1: such lists encode as Latin-1.
int32_t MWLShared_EncodingForLookup(int32_t encoding);
// Text to the list's bytes, zero-terminated in out (4 bytes a character +
// 1); false when a character has no form there. prefix as for
// MWLCode_ConvertFromUnicode.
bool MWLShared_Encode(std::vector<uint8_t>& out, const uint16_t* text, int32_t lower, int32_t encoding,
                      const DVKSCSU* state, int32_t* prefix = nullptr);
