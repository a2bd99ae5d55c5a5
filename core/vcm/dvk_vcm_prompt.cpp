// Prompt utilities: whether an item of a level is said at all in the user's
// prompt mode, and the gate commands' audio tips. This file alone needs the
// prompt lists, so a program that never says anything links without them.
#include "core/vcm/dvk_vcm.h"

#include "core/prompt/dvk_prompt.h"
#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_settings.h"

namespace {

enum : int32_t {
    kFeatureMenuIndex = 59,
    kFeatureShortPrompts = 67,  // modes 2 and 3 say only levels 2 and 3
    kTipLevel = 2,
};

bool shouldPromptPlay(int32_t level)
{
    DVK_ASSERT((level >= 0) && (level <= 3));
    const int32_t mode = dvk_settings_getPromptMode();
    DVK_ASSERT((mode >= 0) && (mode <= 3));
    if (dvk_settings_isFeatureEnabled(kFeatureShortPrompts) && mode >= 2)
        return level >= 2;
    switch (mode) {
    case 0:
        return level == 3;
    case 1:
        return level >= 2;
    default:
        return true;
    }
}

} // namespace

void dvk_vcm_prompt_addText(dvk_prompt_List* prompts, const dvk_ucs2_Char* text, int32_t level)
{
    if (shouldPromptPlay(level))
        dvk_prompt_addText(prompts, text);
}

void dvk_vcm_prompt_addLocation(dvk_prompt_List* prompts, dvk_prompt_Table* promptTable,
                                dvk_string_Table* stringTable, const dvk_ucs2_Char* location, int32_t level)
{
    if (shouldPromptPlay(level))
        dvk_prompt_addLocation(prompts, promptTable, stringTable, location);
}

void dvk_vcm_prompt_addDigitsText(dvk_prompt_List* prompts, const dvk_ucs2_Char* text, int32_t level)
{
    if (shouldPromptPlay(level))
        dvk_prompt_addDigitsText(prompts, text);
}

void dvk_vcm_prompt_addDigits(dvk_prompt_List* prompts, dvk_prompt_Table* promptTable,
                              const dvk_ucs2_Char* number, int32_t level)
{
    if (shouldPromptPlay(level))
        dvk_prompt_addDigits(prompts, promptTable, number);
}

void dvk_vcm_prompt_addWords(dvk_prompt_List* prompts, const int32_t* wordIds, int32_t count, int32_t level)
{
    if (shouldPromptPlay(level))
        dvk_prompt_addWords(prompts, wordIds, count);
}

void dvk_vcm_prompt_addStringId(dvk_prompt_List* prompts, dvk_string_Table* stringTable, int32_t id,
                                int32_t level)
{
    if (shouldPromptPlay(level))
        dvk_prompt_addStringId(prompts, stringTable, id);
}

void dvk_vcm_prompt_addPrompt(dvk_prompt_List* prompts, dvk_prompt_Table* promptTable, int32_t id, int32_t level)
{
    if (shouldPromptPlay(level))
        dvk_prompt_addPrompt(prompts, promptTable, id);
}

void dvk_vcm_prompt_addMenuIndex(dvk_prompt_List* prompts, int32_t n, int32_t level)
{
    if (dvk_settings_isFeatureEnabled(kFeatureMenuIndex) && shouldPromptPlay(level))
        dvk_prompt_addMenuIndex(prompts, n);
}

void dvk_vcm_prompt_addDigitsFromLong(dvk_prompt_List* prompts, long digit, int32_t level)
{
    DVK_ASSERT(digit < 100);
    DVK_ASSERT(digit >= 0);
    dvk_ucs2_Char text[3] = {};
    if (digit <= 9) {
        text[0] = static_cast<dvk_ucs2_Char>('0' + digit);
    } else {
        text[0] = static_cast<dvk_ucs2_Char>('0' + digit / 10);
        text[1] = static_cast<dvk_ucs2_Char>('0' + digit % 10);
    }
    dvk_vcm_prompt_addText(prompts, text, level);
}

void dvk_vcm_prompt_addEarcon(dvk_prompt_List* prompts, int32_t earcon)
{
    DVK_ASSERT((earcon >= 0) && (earcon < DVK_PROMPT_EARCON_COUNT));
    if (dvk_settings_getPromptMode() != 1)
        dvk_prompt_addEarcon(prompts, earcon);
}

int32_t dvk_vcm_addAudioTip(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, int32_t stringId,
                            const dvk_ucs2_Char* itemName)
{
    DVK_ASSERT(vcms != DVK_NULL);
    DVK_ASSERT(prompts != DVK_NULL);
    DVK_ASSERT(itemName != DVK_NULL);
    const int32_t gate = vcms->gateCmd;
    const int32_t played = dvk_settings_getAudioTipPlayCount(gate);
    if (played > 1)
        return dvk_prompt_checkErrorFlag(prompts);
    dvk_settings_setAudioTipPlayCount(gate, played + 1);
    dvk_vcm_prompt_addPrompt(prompts, vcms->promptTable, DVK_PROMPT_PAUSE, kTipLevel);
    if (dvk_settings_getVCMBase() == 0)
        dvk_vcm_prompt_addPrompt(prompts, vcms->promptTable, 309, kTipLevel);
    dvk_ucs2_Char* tip = dvk_string_getString(vcms->stringTable, stringId);
    if (tip == nullptr)
        return 1;
    static const dvk_ucs2_Char kBlank[] = {' ', 0};
    dvk_ucs2_Char* text = dvk_ucs2_createConcat(tip, kBlank, itemName, nullptr);
    dvk_ucs2_destroy(&tip);
    if (text == nullptr)
        return 1;
    dvk_vcm_prompt_addText(prompts, text, kTipLevel);
    dvk_ucs2_destroy(&text);
    return dvk_prompt_checkErrorFlag(prompts);
}
