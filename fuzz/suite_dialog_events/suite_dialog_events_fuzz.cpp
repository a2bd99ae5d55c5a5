// UI events (any id, any item index from -2 to 40) and recognition results
// in any order, into dialog sessions over the real modules: no step may
// reach an assertion or leave a suite block behind.
#include "core/config/dvk_config.h"
#include "core/constraints/dvk_constraints_dynamictable.h"
#include "core/utils/dvk_ucs2.h"
#include "core/vre/dvk_vre.h"
#include "fuzz/suite_dialog_events/dialog_script.h"
#include "fuzz/suite_record_root.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_settings.h"
#include "tests/core/vcm/driver/vcm_driver.h"
#include "tests/core/vcm/phonebook/ann_bob_phonebook.h"
#include "tests/sdk/common/fake_oem.h"
#include "tests/support/table_file_writers.h"
#include "tests/core/prompt/recorder/prompt_list_recorder.h"
#include "tests/vcmbase_gen/harness/recording_screens.h"

#include <cstdlib>

int32_t dvk_vre_isLanguageSupported(dvk_lang_Language, int32_t, int32_t* code, int32_t* engineInfo)
{
    if (code != nullptr)
        *code = 0;
    if (engineInfo != nullptr)
        *engineInfo = 0;
    return 1;
}

namespace {

void noExit(dvk_app_CompletionCode, void*) {}

struct Tables {
    dvk_string_Table* strings = nullptr;
    dvk_config_Manager* config = nullptr;
    dvk_constraints_DynamicTable* grammar = nullptr;
    int32_t gates = 0;
};

// Gates of every kind the root menu treats apart: shown, unshown, shared,
// paged, music, driving, tutorial, redial, and one no module carries out.
const Tables& tables()
{
    static const Tables t = [] {
        const std::string strings = numberedStringFile();
        writeFuzzRecord("str_enus.bin", reinterpret_cast<const uint8_t*>(strings.data()), strings.size());
        ConfigFileWriter c;
        c.gates = {
            {{200}, {}, 400, -1, 68, 24}, {{201}, {}, 401, 7, 68, 15},  {{202}, {}, 402, 7, 68, 27},
            {{203}, {}, -1, -1, 68, 16},  {{204}, {}, 404, 21, 68, 23}, {{205}, {}, 405, 39, 68, 31},
            {{206}, {}, 406, -1, 68, 26}, {{207}, {}, 407, -1, 68, 25}, {{208}, {}, 408, 1, 68, 3},
        };
        const std::string config = c.bytes();
        writeFuzzRecord("dvk_config_gen.bin", reinterpret_cast<const uint8_t*>(config.data()), config.size());
        Tables out;
        out.strings = dvk_string_createStringTable(5);
        if (out.strings == nullptr || dvk_string_loadStringTableRange(out.strings, 0) == nullptr)
            std::abort();
        out.config = dvk_config_createConfigManager();
        out.grammar = dvk_constraints_createDynamicTable();
        if (out.config == nullptr || out.grammar == nullptr || dvk_config_addConstraints(out.config, out.grammar))
            std::abort();
        out.gates = dvk_config_getGateCmdCount(out.config);
        return out;
    }();
    return t;
}

dvk_nbest_List* phrase(int32_t constraintId, int32_t slot, int32_t stringId, bool second, bool named = false)
{
    dvk_nbest_List* list = dvk_nbest_create(constraintId, "fuzz", 60);
    if (list == nullptr)
        return nullptr;
    dvk_ucs2_Char* text = dvk_string_getString(tables().strings, stringId);
    for (int i = 0; i < (second ? 2 : 1); i++)
        if (dvk_nbest_addEntry(list) >= 0 && text != nullptr)
            dvk_nbest_addValueNoIds(list, i, slot, "fuzz", text, text);
    dvk_ucs2_destroy(&text);
    // A contact's name in each entry, a different one in the second.
    static const dvk_ucs2_Char kNames[2][4] = {{u'A', u'n', u'n', 0}, {u'B', u'o', u'b', 0}};
    static const uint32_t kIds[2] = {7, 8};
    for (int i = 0; named && i < dvk_nbest_getCount(list); i++)
        dvk_nbest_addValue(list, i, 20, "fuzz", kNames[i], kNames[i], 1, &kIds[i], 0, nullptr);
    return list;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const Tables& t = tables();
    resetFakeOemSettings();
    dvk_settings_setPromptMode(3);
    fakeOemSettings().words[2 + 59] = 1;
    // Uncertain results with two names are confirmed, and the names are found.
    dvk_settings_setChoiceListConfirmMode(2);
    dvk_settings_setSensitivityMode(2);
    useAnnAndBobPhonebook();
    const long live = dvk_mem_liveBlocks();
    dvk_app_Notifications notifications{};
    notifications.notifyExit = noExit;
    VcmDriver driver;
    driver.stopOnFailure = true;
    driver.beginStep = [](VcmDriver* d) {
        if ((d->lastResult = dvk_vcm_init(d->vcms)) != 0)
            return false;
        dvk_prompt_List prompts{};
        if ((d->lastResult = dvk_vcm_getPrompt(d->vcms, &prompts)) != 0)
            return false;
        if (dvk_vcm_current(d->vcms)->vtable->GetConstraints != nullptr) {
            dvk_constraints_Constraint** listened = nullptr;
            d->lastResult = dvk_vcm_getConstraints(d->vcms, &listened);
            dvk_mem_dealloc(&listened);
            if (dvk_vcm_current(d->vcms)->vtable->GetMenuReadoutPrompt != nullptr) {
                dvk_prompt_List readout{};
                dvk_vcm_getMenuReadoutPrompt(d->vcms, &readout, 4);
            }
        }
        return d->lastResult == 0;
    };
    for (size_t at = 0; at + 1 < size; at += 2) {
        if (driver.vcms == nullptr || dvk_vcm_done(driver.vcms) != 0 || driver.lastResult != 0) {
            if (driver.vcms != nullptr)
                dvk_vcm_endSession(&driver.vcms);
            driver.lastResult = 0;
            driver.vcms = dvk_vcm_newSession(&notifications, nullptr, nullptr, t.strings,
                                             reinterpret_cast<dvk_prompt_Table*>(&notifications),
                                             reinterpret_cast<dvk_image_Table*>(&notifications), nullptr, t.config,
                                             nullptr, t.grammar, 0, 0);
            if (driver.vcms == nullptr)
                std::abort();
            vcmDriverStep(&driver);
            if (dvk_vcm_done(driver.vcms) != 0 || driver.lastResult != 0)
                continue;
        }
        // Results come only where the module listens.
        const bool listening = dvk_vcm_current(driver.vcms)->vtable->GetConstraints != nullptr;
        const uint8_t op = data[at], arg = data[at + 1];
        switch (op % 4) {
        case 0: {
            const int32_t index = at + 2 < size ? data[at + 2] % 43 - 2 : 0;
            at++;
            vcmDriverEvent(&driver, static_cast<dvk_ui_Event>(arg % 33), index);
            break;
        }
        case 1:
            if (listening)
                vcmDriverResult(&driver, nullptr);
            break;
        case 2:
            if (listening)
                vcmDriverResult(&driver, phrase(dvk_config_getGateCmdConstraintId(t.config, arg % t.gates + 1), 9,
                                                200 + arg % t.gates, (op & 4) != 0, (op & 8) != 0));
            break;
        default:
            if (listening)
                vcmDriverResult(&driver, phrase(38, 2, arg % 100, false));
            break;
        }
        recordedScreens().clear();
        resetPromptListRecorder();
    }
    if (driver.vcms != nullptr)
        dvk_vcm_endSession(&driver.vcms);
    recordedScreens().clear();
    if (dvk_mem_liveBlocks() != live)
        std::abort();
    return 0;
}
