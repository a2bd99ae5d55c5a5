// "vcm_drivingmodeComplete": says whether driving mode is now on or off, as
// stored, and waits for ok, back or the time-out.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "sdk/common/dvk_settings.h"

namespace {

enum : int32_t { DRIVING_SCREEN = 91 };

struct DrivingTexts {
    int32_t title;
    int32_t body;
    int32_t extraBody;  // a second paragraph, or DVK_STR_NULL
    int32_t prompt;
};
const DrivingTexts kOff = {547, 186, 184, 177};
const DrivingTexts kOn = {546, 185, DVK_STR_NULL, 176};

const DrivingTexts& texts()
{
    return dvk_settings_getDrivingMode() == 0 ? kOff : kOn;
}

const dvk_ucs2_Char kParagraph[] = {'\n', '\n', 0};

int drivingModeCompleteInit(dvk_vcm_Session* vcms)
{
    const DrivingTexts& t = texts();
    dvk_ucs2_Char* body = dvk_vcm_concatStrings(vcms, kParagraph, t.body, t.extraBody, DVK_STR_NULL);
    if (body == nullptr)
        return 1;
    return dvk_vcm_ui_displayTextBodyStr(vcms, DRIVING_SCREEN, t.title, body, dvk_gen_vcm_announcementKeys,
                                         dvk_gen_vcm_announcementEvents, DVK_GEN_ANNOUNCEMENT_TIME);
}

int drivingModeCompleteGetPrompt(dvk_vcm_Session* vcms, dvk_prompt_List* prompts, dvk_prompt_Table*)
{
    dvk_vcm_prompt_addPrompt(prompts, dvk_vcm_promptTable(vcms), texts().prompt, 2);
    dvk_vcm_prompt_addEarcon(prompts, 6);
    return dvk_prompt_checkErrorFlag(prompts);
}

const dvk_gen_vcm_Descriptor drivingModeComplete = {
    {"vcm_drivingmodeComplete", drivingModeCompleteInit, drivingModeCompleteGetPrompt, nullptr, nullptr, nullptr,
     nullptr, nullptr, nullptr, nullptr},
    "vcm_drivingmodecomplete/dvk_gen_vcm_drivingmodecomplete.cpp",
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& drivingModeCompleteVtable = drivingModeComplete.vtable;

const dvk_vcm_Etable drivingModeCompleteEtable[] = {
    {DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
    {DVK_UI_EVENT_OK, dvk_gen_vcm_announcementOkHandler},
    {DVK_UI_EVENT_BACK, dvk_gen_vcm_announcementBackHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newDrivingModeComplete(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(drivingModeComplete.unit, vcms != DVK_NULL);
    return dvk_vcm_newVCM(vcms, &drivingModeCompleteVtable, drivingModeCompleteEtable);
}
