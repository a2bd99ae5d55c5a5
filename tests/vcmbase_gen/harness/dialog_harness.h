// A dialog session over the real modules, the real dialog manager and
// configuration manager, with the grammar built from a written configuration
// into a real dynamic constraint table. Around it: the fake porting-layer
// families (settings, go-to ...), the engine's dialog calls scripted
// (update finished and how, waiting mark), the language check answered as
// scripted, the recording prompt lists and screen builders, and a recording
// notification table. Every step of the engine's loop is run by the driver
// and lands in one log (events the modules post to themselves are in
// driver.postedEvents):
//   "step vcm_root"               a dialog step starts on that module
//   screen lines                  as the recording builders write them
//   "addPrompt 391", "addEarcon 0" ...  what the step's prompt list received
//   "listen -2 -3 36 38"          the constraints the step listens to
//   "exit 0"                      the exit notification and its code
//   "init failed" / "prompt failed"  a step that ends the session
#pragma once

#include "core/ce/dvk_ce_dialog.h"
#include "core/vcm/dvk_vcm.h"
#include "tests/core/vcm/driver/vcm_driver.h"
#include "tests/sdk/common/fake_oem.h"
#include "tests/support/suite_memory.h"
#include "tests/support/table_file_writers.h"

#include <functional>
#include <string>
#include <vector>

// What the engine answers the dialog layer.
struct CeScript {
    int32_t updateComplete = 1;
    int32_t contactsUpdated = 1;
    int32_t musicUpdated = 1;
    std::vector<int32_t> waitingMarks;  // every setWaitingForUpdateContactsComplete
    // The adaptation calls: adapted models exist, what ending a session
    // answers, and what each recording request answers in turn (NEXT taken,
    // CANCEL rejected); with none left it gives no message. Each call is
    // logged ("startAdaptation", "endAdaptationSession 1", "resetAdaptation",
    // "record String 103").
    int32_t adapted = 0;
    int endAdaptation = 1;
    std::vector<dvk_ui_Event> recordingAnswers;
};
CeScript& ceScript();
// The language check's answer for capability 2 (recognition of music titles).
int32_t& languageHasCapability2();

// What a step added to a fresh prompt list (the recorded list calls) and
// the step's result.
struct Said {
    int result;
    std::vector<std::string> calls;
};
Said sayInto(const std::function<int(dvk_prompt_List*)>& step);

// A one-entry result with text in the value slot (no value when slot < 0).
dvk_nbest_List* resultWith(int32_t slot, const std::u16string& text);

class DialogHarness : public SuiteMemoryTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes the configuration file and builds its grammar.
    void configure(const std::vector<ConfigGate>& gates);
    // n gates of gate command 24 (shown as string 400 + i, said as 200 + i).
    void configureGates(int n);
    // Opens a session at the start point and runs its first step.
    void start(int32_t startPoint = 0);
    // Opens it without running a step.
    void open(int32_t startPoint = 0);
    void event(dvk_ui_Event event, int32_t index = 0);
    void result(dvk_nbest_List* nbest);
    // A one-entry result of the gate at config position `index` (0-based),
    // its first phrase in slot 9.
    dvk_nbest_List* said(int index);
    // The gate's dynamic constraint id.
    int32_t constraintOf(int index);

    static void feature(int32_t id, int32_t on);
    static void promptMode(int32_t mode);
    // The log since the last call.
    std::vector<std::string> take();
    std::string top();

    dvk_string_Table* strings = nullptr;
    dvk_config_Manager* config = nullptr;
    dvk_constraints_DynamicTable* grammar = nullptr;
    dvk_app_Notifications notifications{};
    dvk_vcm_Session* vcms = nullptr;
    VcmDriver driver;

private:
    bool beginStep();
};
