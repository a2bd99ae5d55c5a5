// The suite's 30 languages and every file name made from one. Names carry
// no directory; new names come from the suite's allocator (NULL when memory
// is short) and the caller frees them with dvk_mem_dealloc.
#pragma once

#include <cstdint>

typedef int32_t dvk_lang_Language;
enum : int32_t {
    DVK_LANG_LANGUAGE_FIRST = 0,
    DVK_LANG_LANGUAGE_MAX = 30,  // also the service's "not known"
};

// Codes in the table (not copies).
const char* dvk_lang_getLanguageModelString(dvk_lang_Language language);
const char* dvk_lang_getTonveraLanguageString(dvk_lang_Language language);
// The table's resource code ("enus"), which names string, image and prompt files.
const char* dvk_lang_getResourceString(dvk_lang_Language language);

char* dvk_lang_getLanguageModelFileName(dvk_lang_Language language);
char* dvk_lang_getDictationModelFileName(dvk_lang_Language language);
char* dvk_lang_getTTSOnlyModelFileName(dvk_lang_Language language);
// These five also take 30, which names nothing.
char* dvk_lang_getRecognitionAdaptedModelFileName(dvk_lang_Language language);
char* dvk_lang_getRecognitionVocabFileName(dvk_lang_Language language);
char* dvk_lang_getDictationAdaptedModelFileName(dvk_lang_Language language);
char* dvk_lang_getDictationVocabFileName(dvk_lang_Language language);
char* dvk_lang_getTonveraUserResFileName(dvk_lang_Language language);
char* dvk_lang_getEnrollmentDataFileName(dvk_lang_Language language);
char* dvk_lang_getEnrollmentAudioFileName(dvk_lang_Language language);
char* dvk_lang_getPromptsFileName(dvk_lang_Language language);
char* dvk_lang_getStringsFileName(dvk_lang_Language language);
char* dvk_lang_getImagesFileName(dvk_lang_Language language);
char* dvk_lang_getVSearchPromptsFileName(dvk_lang_Language language);
char* dvk_lang_getVSearchStringsFileName(dvk_lang_Language language);
char* dvk_lang_getVSearchImagesFileName(dvk_lang_Language language);
char* dvk_lang_getVSearchFontsFileName(dvk_lang_Language language);

// "dvk_config_%s.bin" for the settings' VCM base (0-3).
char* dvk_lang_getConfigMgrFileName();
char* dvk_lang_getVSearchScriptsFileName();
