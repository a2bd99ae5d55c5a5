// "vcm_playsaymusic": asks for the name of the music of the category said
// (album, artist, playlist, song or any), listening with that category's
// grammar; the answer goes back to the play command below.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "core/nbest/dvk_nbest.h"

namespace {

enum : int32_t { SAY_MUSIC_SCREEN = 71, SAY_MUSIC_EARCON = 1, SAY_MUSIC_LAST_TRY = 2 };

const char kUnit[] = "vcm_playsaymusic/dvk_gen_vcm_playsaymusic.cpp";

struct Category {
    int32_t category;
    int32_t title;
    int32_t promptText;
    int32_t prompt;
    dvk_constraints_Constraint* constraints[2];
};
// The last row (any music) also answers a category not listed.
Category kCategories[] = {
    {0, 609, 229, 389, {&playAlbumOnly_constraint, nullptr}},
    {1, 610, 230, 390, {&playArtistOnly_constraint, nullptr}},
    {47, 612, 232, 393, {&playPlaylistOnly_constraint, nullptr}},
    {74, 614, 233, 394, {&playSongOnly_constraint, nullptr}},
    {-1, 611, 231, 392, {&music_constraint, nullptr}},
};

Category& categoryOf(dvk_vcm_Session* vcms)
{
    const int32_t category = *dvk_gen_vcm_word(vcms);
    for (Category& c : kCategories)
        if (c.category == category)
            return c;
    return kCategories[4];
}

const int32_t kKeys[3] = {DVK_GEN_STR_SOFTKEY_HELP, DVK_STR_NULL, DVK_GEN_STR_SOFTKEY_BACK};
const dvk_ui_Event kEvents[3] = {DVK_UI_EVENT_HELP, DVK_UI_EVENT_NONE, DVK_UI_EVENT_BACK};

int playSayMusicInit(dvk_vcm_Session* vcms)
{
    const Category& c = categoryOf(vcms);
    return dvk_vcm_ui_displayListen(vcms, SAY_MUSIC_SCREEN, c.title, c.promptText, -1, DVK_GEN_STR_PANEL_BAR,
                                    nullptr, 0, kKeys, kEvents, DVK_GEN_NO_TIME, DVK_GEN_NO_TIME);
}

int playSayMusicGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table*)
{
    if (dvk_vcm_current(vcms)->state > 0)
        dvk_vcm_prompt_addPrompt(prompts, dvk_vcm_promptTable(vcms), DVK_GEN_PRM_RETRY, 2);
    dvk_vcm_prompt_addPrompt(prompts, dvk_vcm_promptTable(vcms), categoryOf(vcms).prompt, 2);
    dvk_vcm_prompt_addEarcon(prompts, SAY_MUSIC_EARCON);
    return dvk_prompt_checkErrorFlag(prompts);
}

int playSayMusicGetConstraints(dvk_vcm_Session* vcms, dvk_constraints_Constraint*** constraints)
{
    DVK_GEN_VCM_ASSERT(kUnit, constraints != DVK_NULL);
    *constraints = categoryOf(vcms).constraints;
    return 0;
}

int playSayMusicHandleResult(dvk_vcm_Session* vcms, dvk_nbest_List* nbest, dvk_msg_Message** message, int32_t)
{
    const bool none = nbest == nullptr || dvk_nbest_getCount(nbest) == 0;
    if (none && dvk_vcm_current(vcms)->state != SAY_MUSIC_LAST_TRY) {
        dvk_nbest_destroy(&nbest);
        return 0;
    }
    dvk_vcm_pop(vcms);
    const int result = dvk_vcm_completion(vcms, nbest, 0, message);
    dvk_nbest_destroy(&nbest);
    return result;
}

const dvk_gen_vcm_Descriptor playSayMusic = {
    {"vcm_playsaymusic", playSayMusicInit, playSayMusicGetPrompt, nullptr, playSayMusicGetConstraints, nullptr,
     playSayMusicHandleResult, nullptr, dvk_gen_vcm_copyWord, dvk_vcm_defaultContextDestructor},
    kUnit,
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& playSayMusicVtable = playSayMusic.vtable;

const dvk_vcm_Etable playSayMusicEtable[] = {
    {DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newPlaySayMusic(dvk_vcm_Session* vcms, int32_t category)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    dvk_vcm_Module* vcm = dvk_vcm_newVCM(vcms, &playSayMusicVtable, playSayMusicEtable);
    if (vcm == nullptr)
        return nullptr;
    vcm->context = dvk_gen_vcm_newWord(category);
    if (vcm->context == nullptr)
        dvk_vcm_destroy(vcms, &vcm);
    return vcm;
}
