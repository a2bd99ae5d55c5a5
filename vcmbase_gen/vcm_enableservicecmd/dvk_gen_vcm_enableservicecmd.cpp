// "vcm_enableServiceCmd": turns Bluetooth, GPS or WiFi on or off by the
// service phrase said, then announces it.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "sdk/common/dvk_settings.h"

namespace {

struct ServicePhrase {
    int32_t phrase;
    void (*set)(int32_t value);
    int32_t value;
};

// Compared in this order; the first match is stored.
const ServicePhrase kServicePhrases[] = {
    {88, dvk_settings_setBluetooth, 0}, {85, dvk_settings_setBluetooth, 1}, {89, dvk_settings_setGPS, 0},
    {86, dvk_settings_setGPS, 1},       {90, dvk_settings_setWiFi, 0},      {87, dvk_settings_setWiFi, 1},
};

int enableServiceCmdCompletion(dvk_vcm_Session* vcms, dvk_nbest_List* nbest, int32_t, dvk_msg_Message**)
{
    const dvk_ucs2_Char* said = nbest != nullptr ? dvk_nbest_getStr(nbest, 0, DVK_GEN_SLOT_COMMAND) : nullptr;
    int32_t phrase = DVK_STR_NULL;
    for (const ServicePhrase& s : kServicePhrases) {
        if (said != nullptr && dvk_string_compareString(dvk_vcm_stringTable(vcms), s.phrase, said) == 0) {
            s.set(s.value);
            phrase = s.phrase;
            break;
        }
    }
    dvk_vcm_pop(vcms);
    return dvk_vcm_push(vcms, dvk_gen_vcm_newEnableServiceComplete(vcms, phrase));
}

const dvk_gen_vcm_Descriptor enableServiceCmd = {
    {"vcm_enableServiceCmd", nullptr, nullptr, nullptr, nullptr, nullptr, dvk_gen_vcm_completeResult,
     enableServiceCmdCompletion, nullptr, nullptr},
    "vcm_enableservicecmd/dvk_gen_vcm_enableservicecmd.cpp",
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& enableServiceCmdVtable = enableServiceCmd.vtable;

const dvk_vcm_Etable enableServiceCmdEtable[] = {
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newEnableServiceCmd(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(enableServiceCmd.unit, vcms != DVK_NULL);
    return dvk_vcm_newVCM(vcms, &enableServiceCmdVtable, enableServiceCmdEtable);
}
