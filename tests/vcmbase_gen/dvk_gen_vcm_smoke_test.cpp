// Every dialog module that is built, through the same paces: made (with
// each allocation failing in turn), every operation it has, each event of
// its table and one that is not, HELP; with memory failing at each
// allocation of every step, nothing is left behind. Modules not built yet
// are skipped and named.
#include "tests/vcmbase_gen/harness/dialog_harness.h"
#include "tests/vcmbase_gen/harness/module_table.h"

#include "core/ce/dvk_ce_requests.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

#include <iostream>

namespace {

const dvk_ui_Event kAlwaysTaken[] = {DVK_UI_EVENT_EXIT, DVK_UI_EVENT_CANCEL, DVK_UI_EVENT_BACK,
                                     DVK_UI_EVENT_REPEAT, DVK_UI_EVENT_RESTART, DVK_UI_EVENT_HELP,
                                     DVK_UI_EVENT_TUTORIAL};

bool listed(const dvk_vcm_Etable* etable, dvk_ui_Event event)
{
    for (const dvk_vcm_Etable* e = etable; e != nullptr && e->handler != nullptr; e++)
        if (e->event == event)
            return true;
    return false;
}

// An event neither in the table nor taken by the dialog manager.
dvk_ui_Event unlisted(const dvk_vcm_Etable* etable)
{
    for (dvk_ui_Event event : {DVK_UI_EVENT_OK, DVK_UI_EVENT_PAUSE, DVK_UI_EVENT_ADD_CONTACT, DVK_UI_EVENT_START})
        if (!listed(etable, event))
            return event;
    return DVK_UI_EVENT_CONTINUE;
}

void dropMessage(dvk_msg_Message** message, dvk_msg_Address recipient)
{
    if (*message == nullptr)
        return;
    dvk_msg_destroy(message);
    if (recipient == dvk_msg_getDvkAddr())
        dvk_ce_lowerPendingEventCount();
}

class ModuleSmokeTest : public DialogHarness {
protected:
    void SetUp() override
    {
        DialogHarness::SetUp();
        feature(59, 1);
        configureGates(6);
        open();
        empty();
        base = dvk_mem_liveBlocks();
    }
    void empty()
    {
        dvk_vcm_clearStack(vcms);
        dvk_vcm_resetState(vcms);
    }
    // The row's module alone on the stack (saved when it can be), or false.
    bool fresh(const ModuleRow& row)
    {
        empty();
        dvk_vcm_setGateCmd(vcms, row.gateCmd);
        dvk_vcm_Module* module = row.make(vcms);
        if (module == nullptr)
            return false;
        return (module->vtable->copyContext != nullptr ? dvk_vcm_pushAndSave(vcms, module)
                                                       : dvk_vcm_push(vcms, module)) == 0;
    }
    // Runs a step on a fresh module with memory failing after each count of
    // allocations in turn: 0 or 1 every time, and nothing left behind.
    void eachFailure(const ModuleRow& row, const char* what, const std::function<int()>& step)
    {
        for (long n = 0; n < 200; n++) {
            SCOPED_TRACE(std::string(what) + " failing after " + std::to_string(n));
            ASSERT_TRUE(fresh(row));
            dvk_mem_failAfter(n);
            const int result = step();
            dvk_mem_failAfter(-1);
            EXPECT_TRUE(result == 0 || result == 1) << result;
            empty();
            take();
            ASSERT_EQ(dvk_mem_liveBlocks(), base);
            if (result == 0)
                return;
        }
    }

    long base = 0;
};

TEST_F(ModuleSmokeTest, EveryBuiltModule)
{
    std::vector<std::string> notBuilt;
    for (const ModuleRow& row : moduleTable()) {
        SCOPED_TRACE(row.name);
        LogCapture capture;
        dvk_vcm_Module* module = row.make(vcms);
        if (module == nullptr) {
            EXPECT_TRUE(capture.contains("module not built"));
            notBuilt.push_back(row.name);
            continue;
        }
        EXPECT_EQ(std::string(module->vtable->name), row.name);
        const dvk_vcm_Vtable* vtable = module->vtable;
        // The tutorial's table lives in its context: keep a copy.
        std::vector<dvk_vcm_Etable> events;
        for (const dvk_vcm_Etable* e = module->etable; e->handler != nullptr; e++)
            events.push_back(*e);
        events.push_back({DVK_UI_EVENT_NONE, nullptr});
        const dvk_vcm_Etable* etable = events.data();
        EXPECT_EQ(module->context != nullptr, vtable->Destructor != nullptr);
        if (vtable->copyContext != nullptr) {
            EXPECT_NE(module->context, nullptr);
        }
        dvk_vcm_destroy(vcms, &module);

        // Made with each allocation failing in turn.
        for (long n = 0;; n++) {
            dvk_mem_failAfter(n);
            dvk_vcm_Module* made = row.make(vcms);
            dvk_mem_failAfter(-1);
            if (made != nullptr) {
                dvk_vcm_destroy(vcms, &made);
                break;
            }
            ASSERT_EQ(dvk_mem_liveBlocks(), base) << "constructor failing after " << n;
            ASSERT_LT(n, 200);
        }

        if (vtable->Init != nullptr)
            eachFailure(row, "Init", [&] { return dvk_vcm_init(vcms); });
        if (vtable->GetPrompt != nullptr)
            eachFailure(row, "GetPrompt", [&] {
                return sayInto([&](dvk_prompt_List* l) { return dvk_vcm_getPrompt(vcms, l); }).result;
            });
        if (vtable->GetMenuReadoutPrompt != nullptr)
            eachFailure(row, "GetMenuReadoutPrompt", [&] {
                return sayInto([&](dvk_prompt_List* l) { return dvk_vcm_getMenuReadoutPrompt(vcms, l, 0); }).result;
            });
        if (vtable->GetConstraints != nullptr)
            eachFailure(row, "GetConstraints", [&] {
                dvk_constraints_Constraint** list = nullptr;
                const int result = dvk_vcm_getConstraints(vcms, &list);
                dvk_mem_dealloc(&list);
                return result;
            });
        if (vtable->GetContinuation != nullptr)
            eachFailure(row, "GetContinuation", [&] {
                dvk_msg_Message* message = nullptr;
                dvk_msg_Address recipient = nullptr;
                const int result = dvk_vcm_getContinuation(vcms, &message, &recipient, &base);
                dropMessage(&message, recipient);
                return result;
            });
        if (vtable->handleResult != nullptr)
            eachFailure(row, "handleResult", [&] {
                dvk_msg_Message* message = nullptr;
                const int result = dvk_vcm_handleResult(vcms, nullptr, &message);
                dropMessage(&message, nullptr);
                return result;
            });
        for (const dvk_vcm_Etable* e = etable; e->handler != nullptr; e++)
            eachFailure(row, ("event " + std::to_string(e->event)).c_str(), [&] {
                dvk_msg_Message* message = nullptr;
                const int result = dvk_vcm_handleEvent(vcms, e->event, 0, &message);
                dropMessage(&message, nullptr);
                return result;
            });
        for (dvk_ui_Event event : kAlwaysTaken)
            eachFailure(row, ("default event " + std::to_string(event)).c_str(), [&] {
                dvk_msg_Message* message = nullptr;
                const int result = dvk_vcm_handleEvent(vcms, event, 0, &message);
                dropMessage(&message, nullptr);
                return result;
            });

        // An event of no table is not taken.
        ASSERT_TRUE(fresh(row));
        EXPECT_EQ(dvk_vcm_checkForEventHandler(vcms, unlisted(etable)), 0);
        // HELP plays the tutorial, whatever the module's table holds.
        dvk_msg_Message* message = nullptr;
        EXPECT_EQ(dvk_vcm_handleEvent(vcms, DVK_UI_EVENT_HELP, 0, &message), 0);
        EXPECT_EQ(message, nullptr);
        EXPECT_EQ(top(), "vcm_tutorial");
        empty();
        take();
        EXPECT_EQ(dvk_mem_liveBlocks(), base);
    }
    std::string skipped;
    for (const std::string& name : notBuilt)
        skipped += (skipped.empty() ? "" : " ") + name;
    RecordProperty("not_built", skipped);
    std::cout << "[ skipped  ] " << notBuilt.size() << " modules not built: " << skipped << "\n";
    EXPECT_EQ(notBuilt.size() + 61, moduleTable().size());
}

}  // namespace
