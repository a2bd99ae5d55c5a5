// Refining a decoder's N-best choices before they reach the engine: language
// scores of word sequences, re-alignment of a choice against the utterance,
// class-pair scores, re-sorting, copying into the choice-list form and word
// choice lists per position.
#pragma once

#include <cstdint>

struct AM;
struct Constraint;
struct Decoder;
struct LinChChoice;
struct Voc;

// The language score of w prons after the last min(h, n) history ids (active
// word ids) and before the right ids (up to the first 65535, at most n):
// 16384 when an id of 65535 is met, else the sum, held to 16 bits.
int32_t Decoder_ScoreNGramSequence(const Voc* vocabulary, int32_t n, int32_t h, const uint16_t* history,
                                   int32_t rightCount, const uint16_t* rightIds, const uint16_t* prons, int32_t w);
// Vocabulary ids in: the left ids become active ids, each word its first pron.
int32_t Decoder_ScoreWordSequenceLM(Decoder* decoder, int32_t leftCount, const uint32_t* left, int32_t order,
                                    int32_t wordCount, const uint32_t* words);
int32_t Decoder_GetLM(Decoder* decoder, int32_t historyCount, const uint16_t* history, int32_t word, int32_t limit);
// score - the order-a language score + the order-b one.
void Decoder_SwapChoiceLMOrder(Decoder* decoder, int32_t* score, const uint16_t* prons, int32_t wordCount,
                               int32_t orderA, int32_t orderB);
// The states an alignment of the sequence takes: 2 silences, each word's
// phone models' states, 1 per inner boundary whose byte is 1.
int32_t Decoder_CountSequenceFrames(const uint16_t* prons, const uint8_t* bytes, int32_t wordCount, Voc* vocabulary,
                                    const AM* model, int32_t crossWord);
// score: the alignment score plus the order-1 language score, 0x40000000
// when the sequence cannot be aligned to the decoder's frames.
void DecoderUtils_RealignChoice(Decoder* decoder, AM* model, const uint16_t* prons, const uint8_t* bytes,
                                int32_t* score, int32_t wordCount, int32_t crossWord);
void DecoderUtils_RescoreChoices(Decoder* decoder, int32_t word, LinChChoice* choices, int32_t* count);
void DecoderUtils_AddClassPairScores(LinChChoice* choices, int32_t count, Constraint* const* constraints,
                                     int32_t word, int32_t option);
// Choices copied in order while the words written (terminators counted) plus
// the next choice's words stay below the capacity, at most limit of them.
void DecoderUtils_FillChoiceList(const LinChChoice* choices, int32_t* count, int32_t limit, int32_t* scores,
                                 int16_t* grammarShares, int32_t capacity, uint32_t* wordIds, uint8_t* classEnds,
                                 uint32_t* classIds, uint32_t* memberValues, uint8_t* classStarts,
                                 uint16_t* decoderValues, Constraint** constraints, const Voc* vocabulary);

// Lists of alternative words, one list per position: entries (each
// alternative ended by 0xFFFFFFFF), the number of alternatives and the
// value of each list.
struct WordChoiceLists {
    uint32_t* entries;
    int32_t* counts;
    int32_t* values;
};
// choiceWords: the choices in the choice-list form. 1 when every list fitted.
int32_t DecoderUtils_MakeWordChoiceLists(int32_t mode, const uint32_t* choiceWords, int32_t choiceCount,
                                         int32_t value, int32_t capacity, WordChoiceLists* lists, int32_t* needed);

// The same refinement over 128-byte choice records: re-alignment only under
// parameter word 312, sorting in the choice-record order.
struct ChoiceRecord;
void Decoder_RescoreChoiceRecords(Decoder* decoder, int32_t word, ChoiceRecord* records, int32_t* count);
// Order 1 to order 2 on every record's score.
void Decoder_SwapChoiceRecordsLMOrder(Decoder* decoder, ChoiceRecord* records, int32_t count);
