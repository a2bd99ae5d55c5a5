// "vcm_playComplete": shows and says what will play and hands it to the
// application with each name in its place (playlist, song, artist, album);
// the session ends.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "core/ce/dvk_app.h"
#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_mem.h"

namespace {

const char kUnit[] = "vcmbase_gen/vcm_playcomplete/dvk_gen_vcm_playcomplete";

enum : int32_t {
    PLAY_SCREEN = 73,
    PLAY_TITLE = 608,
    PLAY_PROMPT = 376,
    PLAY_EARCON = 6,
    PLAY_TIP = 46,
    PLAY_BY = 48,            // "by", between a name and its artist
    PLAY_ARTIST_LABEL = 159,
};

enum Place { PLAYLIST, SONG, ARTIST, ALBUM, PLACES };

struct PlayCompleteContext {
    int32_t asked;
    dvk_ucs2_Char* display;
    dvk_ucs2_Char* spoken;
    dvk_ucs2_Char* names[PLACES];  // empty where not played
    int32_t contexts[PLACES];
};

PlayCompleteContext* context(dvk_vcm_Session* vcms)
{
    auto* ctx = static_cast<PlayCompleteContext*>(dvk_vcm_currentContext(vcms));
    DVK_GEN_VCM_ASSERT(kUnit, ctx != DVK_NULL);
    return ctx;
}

int32_t labelOf(int32_t kind)
{
    switch (kind) {
    case 0:
        return 219;
    case 1:
        return 158;
    case 2:
        return 159;
    default:
        return 246;
    }
}

// Where the name said goes, by kind: playlist, album, artist or song.
Place placeOf(int32_t kind)
{
    switch (kind) {
    case 0:
        return PLAYLIST;
    case 1:
        return ALBUM;
    case 2:
        return ARTIST;
    default:
        return SONG;
    }
}

int playCompleteInit(dvk_vcm_Session* vcms)
{
    const PlayCompleteContext* ctx = context(vcms);
    const int32_t softkeys[3] = {DVK_STR_NULL, DVK_STR_NULL, DVK_GEN_STR_SOFTKEY_BACK};
    const dvk_ui_Event events[3] = {DVK_UI_EVENT_NONE, DVK_UI_EVENT_NONE, DVK_UI_EVENT_BACK};
    dvk_ucs2_Char* body = dvk_ucs2_createCopy(ctx->display);
    if (body == nullptr)
        return 1;
    return dvk_vcm_ui_displayTextBodyStr(vcms, PLAY_SCREEN, PLAY_TITLE, body, softkeys, events, DVK_GEN_NO_TIME);
}

int playCompleteGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table*)
{
    const PlayCompleteContext* ctx = context(vcms);
    DVK_GEN_VCM_ASSERT(kUnit, prompts != DVK_NULL);
    // A confirmed choice has been said already.
    if (dvk_vcm_getConfirmType(vcms) == 0)
        dvk_vcm_prompt_addText(prompts, ctx->spoken, 3);
    dvk_vcm_prompt_addPrompt(prompts, dvk_vcm_promptTable(vcms), PLAY_PROMPT, 2);
    dvk_vcm_prompt_addEarcon(prompts, PLAY_EARCON);
    if (ctx->asked != 0 && dvk_vcm_addAudioTip(vcms, prompts, PLAY_TIP, ctx->spoken) != 0)
        return 1;
    return dvk_prompt_checkErrorFlag(prompts);
}

int playCompleteGetContinuation(dvk_vcm_Session* vcms, dvk_msg_Message** message, dvk_msg_Address* recipient,
                                dvk_msg_Address defaultRecipient)
{
    const PlayCompleteContext* ctx = context(vcms);
    DVK_GEN_VCM_ASSERT(kUnit, message != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, recipient != DVK_NULL);
    *message = dvk_app_newNotifyPlayCmdRspMsg(
        dvk_vcm_cmdList(vcms)->notifyPlayCmd, ctx->names[SONG], ctx->names[ARTIST], ctx->names[ALBUM],
        ctx->names[PLAYLIST], ctx->contexts[SONG], ctx->contexts[ARTIST], ctx->contexts[ALBUM],
        ctx->contexts[PLAYLIST], dvk_vcm_userContext(vcms));
    *recipient = defaultRecipient;
    dvk_vcm_clearStack(vcms);
    return *message == nullptr ? 1 : 0;
}

void freeContext(PlayCompleteContext** ctx)
{
    if (*ctx == nullptr)
        return;
    dvk_ucs2_destroy(&(*ctx)->display);
    dvk_ucs2_destroy(&(*ctx)->spoken);
    for (dvk_ucs2_Char*& name : (*ctx)->names)
        dvk_ucs2_destroy(&name);
    dvk_mem_dealloc(ctx);
}

void playCompleteDestructor(dvk_vcm_Module* vcm, dvk_vcm_Module**)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcm != DVK_NULL);
    auto* ctx = static_cast<PlayCompleteContext*>(vcm->context);
    freeContext(&ctx);
    vcm->context = nullptr;
}

const dvk_gen_vcm_Descriptor playComplete = {
    {"vcm_playComplete", playCompleteInit, playCompleteGetPrompt, nullptr, nullptr, playCompleteGetContinuation,
     nullptr, nullptr, nullptr, playCompleteDestructor},
    kUnit,
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& playCompleteVtable = playComplete.vtable;

const dvk_vcm_Etable playCompleteEtable[] = {
    {DVK_UI_EVENT_NONE, nullptr},
};

const dvk_ucs2_Char kEmpty[] = {0};
const dvk_ucs2_Char kNewline[] = {'\n', 0};
const dvk_ucs2_Char kSpace[] = {' ', 0};

// label "\n" name, then "\n\n" artist-label "\n" artist; and the spoken
// form: pronunciation, then " " by " " artist's pronunciation.
bool composeTexts(dvk_vcm_Session* vcms, PlayCompleteContext* ctx, int32_t kind, const dvk_ucs2_Char* name,
                  const dvk_ucs2_Char* pronunciation, const dvk_ucs2_Char* artist,
                  const dvk_ucs2_Char* artistPronunciation)
{
    dvk_string_Table* strings = dvk_vcm_stringTable(vcms);
    dvk_ucs2_Char* label = dvk_string_getString(strings, labelOf(kind));
    dvk_ucs2_Char* artistLabel = artist != nullptr ? dvk_string_getString(strings, PLAY_ARTIST_LABEL) : nullptr;
    dvk_ucs2_Char* by = artist != nullptr ? dvk_string_getString(strings, PLAY_BY) : nullptr;
    const bool found = label != nullptr && (artist == nullptr || (artistLabel != nullptr && by != nullptr));
    if (found && artist != nullptr) {
        ctx->display = dvk_ucs2_createConcat(label, kNewline, name, kNewline, kNewline, artistLabel, kNewline, artist,
                                             nullptr);
        ctx->spoken = dvk_ucs2_createConcat(pronunciation, kSpace, by, kSpace, artistPronunciation, nullptr);
    } else if (found) {
        ctx->display = dvk_ucs2_createConcat(label, kNewline, name, nullptr);
        ctx->spoken = dvk_ucs2_createCopy(pronunciation);
    }
    dvk_ucs2_destroy(&label);
    dvk_ucs2_destroy(&artistLabel);
    dvk_ucs2_destroy(&by);
    return ctx->display != nullptr && ctx->spoken != nullptr;
}

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newPlayComplete(dvk_vcm_Session* vcms, int32_t asked, const dvk_ucs2_Char* name,
                                            const dvk_ucs2_Char* namePronunciation, const dvk_ucs2_Char* artist,
                                            const dvk_ucs2_Char* artistPronunciation, int32_t nameContext,
                                            int32_t artistContext, int32_t kind)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, name != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, kind >= 0 && kind <= 4);
    DVK_GEN_VCM_ASSERT(kUnit, artist == DVK_NULL || artistPronunciation != DVK_NULL);
    DVK_GEN_VCM_ASSERT(kUnit, kind != 4 || artist != DVK_NULL);
    if (namePronunciation == nullptr)
        namePronunciation = name;
    dvk_vcm_Module* vcm = dvk_vcm_newVCM(vcms, &playCompleteVtable, playCompleteEtable);
    if (vcm == nullptr)
        return nullptr;
    auto* ctx = static_cast<PlayCompleteContext*>(dvk_mem_alloc(sizeof(PlayCompleteContext)));
    vcm->context = ctx;
    if (ctx == nullptr) {
        dvk_vcm_destroy(vcms, &vcm);
        return nullptr;
    }
    *ctx = {asked, nullptr, nullptr, {nullptr, nullptr, nullptr, nullptr}, {0, 0, 0, 0}};
    const Place place = placeOf(kind);
    for (int p = 0; p < PLACES; p++)
        ctx->names[p] = dvk_ucs2_createCopy(p == place ? name : p == ARTIST && artist != nullptr ? artist : kEmpty);
    ctx->contexts[place] = nameContext;
    if (artist != nullptr)
        ctx->contexts[ARTIST] = artistContext;
    bool made = composeTexts(vcms, ctx, kind, name, namePronunciation, artist, artistPronunciation);
    for (dvk_ucs2_Char* copy : ctx->names)
        made = made && copy != nullptr;
    if (!made)
        dvk_vcm_destroy(vcms, &vcm);
    return vcm;
}
