#include "tests/vcmbase_gen/harness/dialog_harness.h"

#include "core/ce/dvk_ce_requests.h"
#include "core/config/dvk_config.h"
#include "core/constraints/dvk_constraints_dynamictable.h"
#include "core/nbest/dvk_nbest.h"
#include "core/utils/dvk_ucs2.h"
#include "core/vre/dvk_vre.h"
#include "sdk/common/dvk_settings.h"
#include "tests/core/prompt/recorder/prompt_list_recorder.h"
#include "tests/vcmbase_gen/harness/recording_screens.h"

#include <gtest/gtest.h>

namespace {

void recordExit(dvk_app_CompletionCode code, void*)
{
    recordedScreens().push_back("exit " + std::to_string(code));
}

void noEngineOutOfMemory(dvk_msg_Address)
{
    recordedScreens().push_back("session out of memory");
}
int32_t updateComplete() { return ceScript().updateComplete; }
void setWaiting(int32_t waiting) { ceScript().waitingMarks.push_back(waiting); }
int32_t contactsUpdated() { return ceScript().contactsUpdated; }
int32_t musicUpdated() { return ceScript().musicUpdated; }
int32_t isAdapted() { return ceScript().adapted; }
void startAdaptation() { recordedScreens().push_back("startAdaptation"); }
void resetAdaptation() { recordedScreens().push_back("resetAdaptation"); }
int endAdaptation(int32_t save)
{
    recordedScreens().push_back("endAdaptationSession " + std::to_string(save));
    return ceScript().endAdaptation;
}
dvk_msg_Message* recordPhrase(dvk_ucs2_Char* phrase)
{
    std::string text;
    for (const dvk_ucs2_Char* c = phrase; c != nullptr && *c != 0; c++)
        text += static_cast<char>(*c);
    dvk_ucs2_destroy(&phrase);
    recordedScreens().push_back("record " + text);
    std::vector<dvk_ui_Event>& answers = ceScript().recordingAnswers;
    if (answers.empty())
        return nullptr;
    const dvk_ui_Event answer = answers.front();
    answers.erase(answers.begin());
    return dvk_ce_newHandleEventMsg(answer, 0);
}

const dvk_ce_DialogCalls kScriptedCalls = {
    noEngineOutOfMemory, updateComplete,  setWaiting,      contactsUpdated, musicUpdated,
    isAdapted,           startAdaptation, resetAdaptation, endAdaptation,   recordPhrase,
};

}  // namespace

Said sayInto(const std::function<int(dvk_prompt_List*)>& step)
{
    recordedPromptCalls().clear();
    dvk_prompt_List list{};
    const int result = step(&list);
    Said said{result, recordedPromptCalls()};
    recordedPromptCalls().clear();
    return said;
}

CeScript& ceScript()
{
    static CeScript script;
    return script;
}

int32_t& languageHasCapability2()
{
    static int32_t answer = 1;
    return answer;
}

// The recogniser wrapper's language check, as scripted.
int32_t dvk_vre_isLanguageSupported(dvk_lang_Language, int32_t kind, int32_t* code, int32_t* engineInfo)
{
    if (code != nullptr)
        *code = 0;
    if (engineInfo != nullptr)
        *engineInfo = 0;
    return kind == 2 ? languageHasCapability2() : 1;
}

void DialogHarness::SetUp()
{
    resetFakeOemSettings();
    promptMode(3);
    ceScript() = CeScript{};
    languageHasCapability2() = 1;
    recordedScreens().clear();
    screensFail() = false;
    fakeGotoItems().clear();
    fakeHelpItems().clear();
    dvk_ce_setDialogCalls(&kScriptedCalls);

    writeTableFile("str_enus.bin", numberedStringFile());

    SuiteMemoryTest::SetUp();
    strings = dvk_string_createStringTable(5);
    ASSERT_NE(strings, nullptr);
    ASSERT_NE(dvk_string_loadStringTableRange(strings, 0), nullptr);
    notifications.notifyExit = recordExit;
    driver.beginStep = [this](VcmDriver*) { return beginStep(); };
    driver.stopOnFailure = true;
}

void DialogHarness::TearDown()
{
    if (vcms != nullptr)
        dvk_vcm_endSession(&vcms);
    dvk_config_destroyConfigManager(&config);
    if (grammar != nullptr)
        dvk_constraints_destroyDynamicTable(&grammar);
    dvk_string_destroyStringTable(&strings);
    dvk_ce_setDialogCalls(nullptr);
    SuiteMemoryTest::TearDown();
}

void DialogHarness::configure(const std::vector<ConfigGate>& gates)
{
    dvk_config_destroyConfigManager(&config);
    if (grammar != nullptr)
        dvk_constraints_destroyDynamicTable(&grammar);
    ConfigFileWriter writer;
    writer.gates = gates;
    writeTableFile("dvk_config_gen.bin", writer.bytes());
    config = dvk_config_createConfigManager();
    ASSERT_NE(config, nullptr);
    grammar = dvk_constraints_createDynamicTable();
    ASSERT_NE(grammar, nullptr);
    ASSERT_EQ(dvk_config_addConstraints(config, grammar), 0);
}

void DialogHarness::configureGates(int n)
{
    std::vector<ConfigGate> gates;
    for (int i = 0; i < n; i++)
        gates.push_back({{200 + i}, {}, 400 + i, -1, 68, 24});
    configure(gates);
}

void DialogHarness::start(int32_t startPoint)
{
    open(startPoint);
    if (vcms != nullptr)
        vcmDriverStep(&driver);
}

void DialogHarness::open(int32_t startPoint)
{
    vcms = dvk_vcm_newSession(&notifications, nullptr, nullptr, strings,
                              reinterpret_cast<dvk_prompt_Table*>(&notifications),
                              reinterpret_cast<dvk_image_Table*>(&notifications), nullptr, config, nullptr, grammar,
                              startPoint, 0);
    ASSERT_NE(vcms, nullptr);
    driver.vcms = vcms;
    driver.lastResult = 0;
    driver.postedEvents.clear();
}

bool DialogHarness::beginStep()
{
    std::vector<std::string>& log = recordedScreens();
    log.push_back("step " + top());
    driver.lastResult = dvk_vcm_init(vcms);
    if (driver.lastResult != 0) {
        log.push_back("init failed");
        return false;
    }
    const Said said = sayInto([this](dvk_prompt_List* prompts) { return dvk_vcm_getPrompt(vcms, prompts); });
    driver.lastResult = said.result;
    log.insert(log.end(), said.calls.begin(), said.calls.end());
    if (driver.lastResult != 0) {
        log.push_back("prompt failed");
        return false;
    }
    if (dvk_vcm_current(vcms)->vtable->GetConstraints == nullptr)
        return true;
    dvk_constraints_Constraint** listened = nullptr;
    driver.lastResult = dvk_vcm_getConstraints(vcms, &listened);
    if (driver.lastResult != 0) {
        log.push_back("constraints failed");
        return false;
    }
    std::string line = "listen";
    for (dvk_constraints_Constraint** c = listened; *c != nullptr; c++)
        line += " " + std::to_string((*c)->id);
    log.push_back(line);
    dvk_mem_dealloc(&listened);
    return true;
}

void DialogHarness::event(dvk_ui_Event event, int32_t index)
{
    vcmDriverEvent(&driver, event, index);
}

void DialogHarness::result(dvk_nbest_List* nbest)
{
    vcmDriverResult(&driver, nbest);
}

int32_t DialogHarness::constraintOf(int index)
{
    return dvk_config_getGateCmdConstraintId(config, index + 1);
}

dvk_nbest_List* DialogHarness::said(int index)
{
    int32_t display = 0, vocabulary = 0, featureId = 0, gateCmd = 0;
    dvk_config_getGateCmdInfo(config, index + 1, &display, &vocabulary, &featureId, &gateCmd);
    dvk_nbest_List* list = dvk_nbest_create(constraintOf(index), "said", 70);
    EXPECT_EQ(dvk_nbest_addEntry(list), 0);
    dvk_ucs2_Char* text = dvk_string_getString(strings, vocabulary);
    EXPECT_EQ(dvk_nbest_addValueNoIds(list, 0, 9, "said", text, text), 0);
    dvk_ucs2_destroy(&text);
    return list;
}

void DialogHarness::feature(int32_t id, int32_t on)
{
    fakeOemSettings().words[2 + id] = on;
}

void DialogHarness::promptMode(int32_t mode)
{
    dvk_settings_setPromptMode(mode);
}

std::vector<std::string> DialogHarness::take()
{
    std::vector<std::string> out;
    out.swap(recordedScreens());
    return out;
}

std::string DialogHarness::top()
{
    return vcms == nullptr || dvk_vcm_current(vcms) == nullptr ? "none" : dvk_vcm_getCurrentName(vcms);
}

dvk_nbest_List* resultWith(int32_t slot, const std::u16string& text)
{
    dvk_nbest_List* nbest = dvk_nbest_create(-2, "value", 100);
    dvk_nbest_addEntry(nbest);
    if (slot >= 0) {
        std::vector<dvk_ucs2_Char> units(text.begin(), text.end());
        units.push_back(0);
        dvk_nbest_addValueNoIds(nbest, 0, slot, "value", units.data(), units.data());
    }
    return nbest;
}
