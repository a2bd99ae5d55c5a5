// "vcm_gotoCmd": goes to the application named, offers the enabled ones to
// choose from, or (gate command 18 with a value in slot 9) goes to one
// chosen at random.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "core/nbest/dvk_nbest.h"
#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_check.h"
#include "sdk/common/dvk_goto.h"

namespace {

enum : int32_t {
    GOTO_RANDOM_GATE = 18,
    GOTO_SLOT9_GATE = 21,
    GOTO_NAME_SLOT = 10,
    GOTO_SCREEN = 41,
    GOTO_KIND = 19,
    GOTO_RANDOM_SCREEN = 47,
    GOTO_RANDOM_KIND = 78,
};

const char kUnit[] = "vcm_gotocmd/dvk_gen_vcm_gotocmd.cpp";

// One step of Marsaglia's multiply-with-carry generator seeded from the
// phone's clock: 0, or 1 when the phone information cannot be read.
int generateRandomNumber(uint32_t* number)
{
    dvk_oem_check_PhoneInfo* info = dvk_check_getPhoneInfo();
    if (info == nullptr)
        return 1;
    int32_t first = 0, second = 0, third = 0, fourth = 0;
    dvk_check_getTime(info, &first, &second, &third, &fourth);
    dvk_check_destroyPhoneInfo(&info);
    const uint32_t z = static_cast<uint32_t>(second);
    const uint32_t w = static_cast<uint32_t>(third);
    *number = ((36969u * (z & 0xFFFFu) + (z >> 16)) << 16) + 18000u * (w & 0xFFFFu) + (w >> 16);
    return 0;
}

const void* findApp(const dvk_ucs2_Char* name)
{
    return dvk_goto_findAppByName(name);
}
const void* firstApp()
{
    return dvk_goto_getFirstEnabledApp();
}
const void* nextApp(const void* item)
{
    return dvk_goto_getNextEnabledApp(static_cast<dvk_goto_Iterator>(const_cast<void*>(item)));
}
dvk_ucs2_Char* appName(const void* item)
{
    dvk_goto_AppEntry* entry = dvk_goto_getAppEntry(static_cast<dvk_goto_Iterator>(const_cast<void*>(item)));
    dvk_ucs2_Char* name = entry != nullptr ? dvk_ucs2_createCopy(dvk_goto_getAppName(entry)) : nullptr;
    dvk_goto_destroyAppEntry(&entry);
    return name;
}

// The selection-complete module for the application; the name shown is
// `name`, or the application's own when NULL.
int goTo(dvk_vcm_Session* vcms, const void* item, const dvk_ucs2_Char* name, int32_t listShown, int32_t screen,
         int32_t kind)
{
    dvk_goto_AppEntry* entry = dvk_goto_getAppEntry(static_cast<dvk_goto_Iterator>(const_cast<void*>(item)));
    if (entry == nullptr)
        return 1;
    const int result = dvk_vcm_push(
        vcms, dvk_gen_vcm_newSelectComplete(vcms, screen, kind, listShown,
                                            name != nullptr ? name : dvk_goto_getAppName(entry),
                                            dvk_goto_getAppContext(entry)));
    dvk_goto_destroyAppEntry(&entry);
    return result;
}

int actOnApp(dvk_vcm_Session* vcms, const void* item, const dvk_ucs2_Char* said, int32_t listShown)
{
    return goTo(vcms, item, said, listShown, GOTO_SCREEN, GOTO_KIND);
}

const dvk_gen_vcm_ListCommand kApps = {
    findApp, firstApp, nextApp, appName, actOnApp, dvk_gen_vcm_newNoShortcuts, 40, 550, 443, &appList_constraint,
};

int goToRandomApp(dvk_vcm_Session* vcms)
{
    const void* item = firstApp();
    if (item == nullptr)
        return dvk_vcm_push(vcms, dvk_gen_vcm_newNoShortcuts(vcms));
    uint32_t number = 0;
    if (generateRandomNumber(&number) != 0)
        return 1;
    for (uint32_t n = number & 127u; n > 0; n--) {
        item = nextApp(item);
        if (item == nullptr)
            item = firstApp();
    }
    return goTo(vcms, item, nullptr, *dvk_gen_vcm_word(vcms), GOTO_RANDOM_SCREEN, GOTO_RANDOM_KIND);
}

int gotoCmdCompletion(dvk_vcm_Session* vcms, dvk_nbest_List* nbest, int32_t, dvk_msg_Message**)
{
    const int32_t gate = dvk_vcm_getGateCmd(vcms);
    const bool slot9 = gate == GOTO_RANDOM_GATE || gate == GOTO_SLOT9_GATE;
    const int32_t slot = slot9 ? int32_t{DVK_GEN_SLOT_COMMAND} : int32_t{GOTO_NAME_SLOT};
    if (gate == GOTO_RANDOM_GATE && nbest != nullptr && dvk_nbest_getCount(nbest) > 0 &&
        dvk_nbest_getStr(nbest, 0, DVK_GEN_SLOT_COMMAND) != nullptr)
        return goToRandomApp(vcms);
    return dvk_gen_vcm_listCompletion(vcms, &kApps, slot, nbest);
}

const dvk_gen_vcm_Descriptor gotoCmd = {
    {"vcm_gotoCmd", nullptr, nullptr, nullptr, nullptr, nullptr, dvk_gen_vcm_completeResult, gotoCmdCompletion,
     dvk_gen_vcm_copyWord, dvk_vcm_defaultContextDestructor},
    kUnit,
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& gotoCmdVtable = gotoCmd.vtable;

const dvk_vcm_Etable gotoCmdEtable[] = {
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newGotoCmd(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    return dvk_gen_vcm_newListCommand(vcms, &gotoCmdVtable, gotoCmdEtable);
}
