// Character properties of the engine's UTF-16 text: scripts, case, digits,
// white space and the "can be a letter of a word" test, from a fixed table of
// blocks. Characters below 256 follow the Latin-1 rules; characters outside
// every block have no case, are not letters and belong to no script.
#pragma once

#include <cstdint>

// Script ids of the block table.
enum : uint32_t {
    kDVKScriptNone = 0,
    kDVKScriptLatin = 1,
    kDVKScriptGreek = 2,
    kDVKScriptCyrillic = 3,
    kDVKScriptPunctuation = 4,
    kDVKScriptHiragana = 6,
    kDVKScriptKatakana = 7,
    kDVKScriptCJK = 8,
    kDVKScriptHangul = 9,
    kDVKScriptWidthForms = 10,
};

// Script of c; the prolonged sound mark U+30FC continues a hiragana word.
uint32_t DVKUnicode_GetScript(uint16_t c, uint32_t previousScript);
// 1 when the script has letter case (the case flag of its first row).
uint32_t DVKUnicode_ScriptHasCase(uint32_t script);
// All properties at once (any out pointer may be null); returns isGrapheme.
bool DVKUnicode_GetCharInfo(uint16_t c, uint32_t previousScript, uint32_t* script,
                            bool* isLower, bool* isUpper, bool* isDigit, bool* isGrapheme);

bool DVKUnicode_IsLower(uint16_t ch);
bool DVKUnicode_IsUpper(uint16_t ch);
uint16_t DVKUnicode_ToLower(uint16_t ch);
// U+00FF maps up to U+0178, outside Latin-1.
uint16_t DVKUnicode_ToUpper(uint16_t ch);
// '0'-'9' and the full-width digits.
bool DVKUnicode_IsDigit(uint16_t ch);
bool DVKUnicode_IsGrapheme(uint16_t ch);
bool DVKUnicode_IsAlpha(uint16_t ch);
// ASCII white space and the wide spaces of general and CJK punctuation.
bool DVKUnicode_IsSpace(uint16_t ch);

uint16_t DVKUnicode_FromLatin1Char(uint8_t b);
// 0 for characters of 256 and above.
uint8_t DVKUnicode_ToLatin1Char(uint16_t ch);
