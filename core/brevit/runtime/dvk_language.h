// Language names and the four-letter codes of model files ("enus": language
// and country), and the test that tells Chinese, Japanese and Korean apart.
#pragma once

// A four-character name made of a known language code and a known country
// code (any ASCII case) is returned as it stands; any other name is looked up
// among the long names ("USEnglish" gives "enus"); null when unknown.
const char* Language_NameToShortName(const char* name);
// False for the Japanese, Korean and Chinese codes (any ASCII case).
bool Language_IsNonCJK(const char* code);
bool Language_IsNonCJKLanguage(const char* code);
