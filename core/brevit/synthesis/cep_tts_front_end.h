// The synthesiser's text front end: a request (a UTF-16 text or vocabulary
// word ids) becomes a tree of units (phrases, words, syllables, phones, with
// a pause before the first phrase and after every phrase) that the driver
// walks phone by phone through a cursor, asking for each phone's 53 context
// features. Words, spellings, pronunciations and part-of-speech ids come
// from the engine's vocabulary.
#pragma once

#include "core/brevit/lexicon/lexicon_engine_calls.h"
#include "core/brevit/runtime/bin_file_reader.h"

#include <cstdint>

struct CepTTSRuleBlock;
struct LMDTree;
struct LMIndexTable;
struct LMRewrite;
struct TTS;

inline constexpr int32_t kCepTTSFeatureCount = 53;
// Phone id of a pause.
inline constexpr uint16_t kCepTTSPause = 0;
inline constexpr int32_t kCepTTSEndMinor = 1;
inline constexpr int32_t kCepTTSEndSentence = 2;

// The driver's phone fields the front end reads (not owned).
struct CepTTSPhoneFields {
    int32_t maxPhoneId;                    // N
    const LMRewrite* pronToPhoneRewrites;  // vocabulary phoneme to synthesis symbols
    const LMRewrite* phoneClassRewrites;   // phone class to its member phones
    uint16_t vowelClass;
};

// The eight marker symbols of the rule block, in stored order.
enum CepTTSMarker {
    kCepTTSMarkPhraseStart,
    kCepTTSMarkPhraseEnd,
    kCepTTSMarkEndMinor,
    kCepTTSMarkEndSentence,
    kCepTTSMarkWordStart,
    kCepTTSMarkSyllableStart,
    kCepTTSMarkStressed,
    kCepTTSMarkUnstressed,
    kCepTTSMarkerCount
};

struct CepTTSFrontEnd {
    const TTS* owner;                  // its headerShorts mark stress and syllable ends
    const CepTTSPhoneFields* phones;
    Voc* vocabulary;                   // not owned
    LMRewrite* tagRewrites;            // part-of-speech id to its tags, best first
    uint16_t punctuationTagA;
    uint16_t punctuationTagB;
    uint16_t defaultTag;
    int32_t breakWindow;               // W
    int32_t tagHistory;                // H
    int32_t tagBeam;
    LMDTree* breakTree;
    int32_t breakClassCount;
    uint8_t* breakClasses;
    int32_t phraseSplitSyllables;
    int32_t phraseMaxSyllables;
    int32_t phraseCostLength;          // L; 0 or below: no cost table
    uint8_t* phraseCosts;              // L + 1
    int32_t phraseCostSlope;
    int32_t pieceCostWeight;           // sixteenths
    int32_t pieceCostOffset;
    uint16_t accentClass;
    LMIndexTable* posClassTable;       // tag to part-of-speech class
    int32_t ruleSymbolCount;           // M
    uint16_t markers[kCepTTSMarkerCount];
    CepTTSRuleBlock* rules;            // null without rules
};

// Tree records. Each array opens with a zeroed sentinel (index 0), so the
// first real record (index 1) has a predecessor; links are array indices.
struct CepTTSPhrase {
    int32_t endType;                   // 1 minor break, 2 sentence end
    int32_t firstWord;
    int32_t wordCount;
};

struct CepTTSWord {
    uint32_t vocId;
    uint16_t tag;
    uint16_t posClass;
    uint32_t semanticId;               // 0 when none
    int32_t breakClass;
    int32_t position;                  // in the request
    int32_t firstSyllable;
    int32_t syllableCount;
    int32_t firstPhone;
    int32_t phoneCount;
};

struct CepTTSSyllable {
    uint8_t accent;
    uint8_t stress;
    int32_t firstPhone;
    int32_t phoneCount;
};

// The phone array has no sentinel of its own: phone 0 is the opening pause.
struct CepTTSUnitTree {
    int32_t phraseCount;
    int32_t wordCount;
    int32_t syllableCount;
    int32_t phoneCount;                // pauses included
    CepTTSPhrase* phrases;             // phraseCount + 1
    CepTTSWord* words;                 // wordCount + 1
    CepTTSSyllable* syllables;         // syllableCount + 1
    uint16_t* phones;                  // phoneCount
};

// The cursor: where the next unit's features are read.
struct CepTTSUnits {
    int32_t finished;
    CepTTSUnitTree* tree;              // null when there is nothing to say
    int32_t phrase;
    int32_t word;
    int32_t syllable;
    int32_t phone;
};

// Reads the front-end block of "btt0". The fields view and owner must
// outlive the front end. Null on a short or inconsistent record, a break
// tree asking positions at or past W, a pronunciation symbol above N, or an
// allocation failure; everything read is freed.
CepTTSFrontEnd* CepTTSFrontEnd_Load(BinFileReader* reader, const TTS* owner,
                                    const CepTTSPhoneFields* phones, Voc* vocabulary);
uint32_t CepTTSFrontEnd_ComputeCRC(const CepTTSFrontEnd* frontEnd);
void CepTTSFrontEnd_Delete(CepTTSFrontEnd* frontEnd);

// The units of a text; null on an allocation failure. Words the vocabulary
// lacks are added for the call and removed again.
CepTTSUnits* CepTTSFrontEnd_UnitsFromText(CepTTSFrontEnd* frontEnd, const uint16_t* text);
CepTTSUnits* CepTTSFrontEnd_UnitsFromIds(CepTTSFrontEnd* frontEnd, int32_t count,
                                         const VocId* ids);
// Writes the current unit's 53 features and advances the cursor: 1, or 0
// without writing once the cursor is finished.
int32_t CepTTSFrontEnd_GetUnitFeatures(const CepTTSFrontEnd* frontEnd, CepTTSUnits* units,
                                       uint8_t* features);
// Rewrites the tree with the rule block: 1 when a new tree replaced it, 0
// when the old tree stays (no rules, nothing read back, no memory).
int32_t CepTTSFrontEnd_RewriteTree(const CepTTSFrontEnd* frontEnd, CepTTSUnitTree** tree);

int32_t CepTTSUnits_IsFinished(const CepTTSUnits* units);
void CepTTSUnits_Delete(CepTTSUnits* units);

// The features of a pause before they are overwritten.
extern const uint8_t sPauseFeatures[kCepTTSFeatureCount];
