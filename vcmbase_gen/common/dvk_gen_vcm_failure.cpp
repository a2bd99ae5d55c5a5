#include "vcmbase_gen/common/dvk_gen_vcm_failure.h"

#include "core/ce/dvk_app.h"
#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_mem.h"

namespace {

// Columns: gate commands 0; 1; 3-7, 9-12, 14; 13; 15, 16; 17; 19; 20; 22, 23; 24.
enum : int32_t { kNone = -1, kColumns = 10 };

int32_t column(int32_t gate)
{
    switch (gate) {
    case 0: return 0;
    case 1: return 1;
    case 3: case 4: case 5: case 6: case 7: case 9: case 10: case 11: case 12: case 14: return 2;
    case 13: return 3;
    case 15: case 16: return 4;
    case 17: return 5;
    case 19: return 6;
    case 20: return 7;
    case 22: case 23: return 8;
    case 24: return 9;
    default: return kNone;
    }
}

const int32_t kScreens[][kColumns] = {
    {5, 17, 29, 88, 37, 42, 51, 57, 74, 64},
    {6, 18, 30, 89, 38, 43, 52, 58, 75, 65},
    {kNone, 34, kNone, 84, 34, kNone, kNone, kNone, kNone, kNone},
    {kNone, 35, kNone, 85, 35, kNone, kNone, kNone, kNone, kNone},
    {kNone, 15, 27, 86, kNone, kNone, kNone, kNone, kNone, kNone},
    {kNone, 16, 28, 87, kNone, kNone, kNone, kNone, kNone, kNone},
};

const dvk_ucs2_Char kEmpty[] = {0};

}  // namespace

dvk_ui_ScreenId dvk_gen_vcm_failureScreen(dvk_vcm_Session* vcms, dvk_gen_vcm_FailureState state, const char* unit)
{
    const int32_t c = column(dvk_vcm_getGateCmd(vcms));
    DVK_GEN_VCM_ASSERT(unit, c != kNone);
    const int32_t screen = kScreens[state][c];
    DVK_GEN_VCM_ASSERT(unit, screen != kNone);
    return static_cast<dvk_ui_ScreenId>(screen);
}

int dvk_gen_vcm_notifyLookup(dvk_vcm_Session* vcms, const dvk_ucs2_Char* name, dvk_msg_Message** message)
{
    *message = dvk_app_newNotifyLookupCmdRspMsg(dvk_vcm_cmdList(vcms)->notifyLookupCmd,
                                                name != nullptr ? name : kEmpty,
                                                static_cast<dvk_app_LookupMode>(0), dvk_vcm_userContext(vcms));
    return *message == nullptr ? 1 : 0;
}

int dvk_gen_vcm_notifyPlayAnything(dvk_vcm_Session* vcms, dvk_msg_Message** message)
{
    *message = dvk_app_newNotifyPlayCmdRspMsg(dvk_vcm_cmdList(vcms)->notifyPlayCmd, kEmpty, kEmpty, kEmpty, kEmpty,
                                              0, 0, 0, 0, dvk_vcm_userContext(vcms));
    return *message == nullptr ? 1 : 0;
}

dvk_ucs2_Char* dvk_gen_vcm_nameAndString(dvk_vcm_Session* vcms, const dvk_ucs2_Char* name, int32_t stringId)
{
    static const dvk_ucs2_Char newline[] = {u'\n', 0};
    dvk_ucs2_Char* text = dvk_string_getString(dvk_vcm_stringTable(vcms), stringId);
    if (text == nullptr)
        return nullptr;
    dvk_ucs2_Char* joined = dvk_ucs2_createConcat(name, newline, text, nullptr);
    dvk_ucs2_destroy(&text);
    return joined;
}

void dvk_gen_vcm_nameContextDestructor(dvk_vcm_Module* vcm, dvk_vcm_Module**)
{
    DVK_ASSERT(vcm != DVK_NULL);
    auto* ctx = static_cast<dvk_gen_vcm_NameContext*>(vcm->context);
    if (ctx == nullptr)
        return;
    dvk_ucs2_destroy(&ctx->name);
    dvk_ucs2_destroy(&ctx->display);
    dvk_mem_dealloc(&ctx->wordIds);
    dvk_mem_dealloc(&ctx);
    vcm->context = nullptr;
}

bool dvk_gen_vcm_attachNameContext(dvk_vcm_Session* vcms, dvk_vcm_Module** vcm, const dvk_ucs2_Char* name,
                                   const uint32_t* wordIds, int32_t wordIdCount, int32_t displayString)
{
    DVK_ASSERT(name != DVK_NULL);
    DVK_ASSERT(wordIdCount >= 0 && (wordIdCount == 0 || wordIds != DVK_NULL));
    if (*vcm == nullptr)
        return false;
    auto* ctx = static_cast<dvk_gen_vcm_NameContext*>(dvk_mem_alloc(sizeof(dvk_gen_vcm_NameContext)));
    (*vcm)->context = ctx;
    if (ctx == nullptr) {
        dvk_vcm_destroy(vcms, vcm);
        return false;
    }
    *ctx = {};
    ctx->wordIdCount = wordIdCount;
    ctx->name = dvk_ucs2_createCopy(name);
    ctx->wordIds = static_cast<int32_t*>(dvk_mem_alloc(sizeof(int32_t) * static_cast<size_t>(wordIdCount + 1)));
    if (displayString != DVK_STR_NULL)
        ctx->display = dvk_gen_vcm_nameAndString(vcms, name, displayString);
    if (ctx->name == nullptr || ctx->wordIds == nullptr || (displayString != DVK_STR_NULL && ctx->display == nullptr)) {
        dvk_vcm_destroy(vcms, vcm);
        return false;
    }
    for (int32_t i = 0; i < wordIdCount; i++)
        ctx->wordIds[i] = static_cast<int32_t>(wordIds[i]);
    return true;
}

dvk_gen_vcm_NameContext* dvk_gen_vcm_nameContext(dvk_vcm_Session* vcms)
{
    auto* ctx = static_cast<dvk_gen_vcm_NameContext*>(dvk_vcm_currentContext(vcms));
    DVK_ASSERT(ctx != DVK_NULL);
    return ctx;
}
