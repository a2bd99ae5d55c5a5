// The seeds of the dialog-events fuzz target are scripts written with its
// own step encoding.
#include "fuzz/suite_dialog_events/dialog_script.h"
#include "tests/support/fuzz_seed_check.h"

namespace {

using namespace dialog_script;

TEST(DialogFuzzSeeds, AreWrittenFromTheirSteps)
{
    // Paging with more-options, touching entries, reading out.
    checkFuzzSeed("suite_dialog_events", "paging",
                  event(18, 4) + event(20, 2) + event(18, 1) + event(18, 4) + event(18, 0) + event(18, -2));
    // Results: none twice, a gate, a shared gate no module carries out, pruned lists.
    checkFuzzSeed("suite_dialog_events", "results",
                  noResult() + said(0) + said(2) + said(1, true) + noResult() + noResult() + said(8));
    // The tutorial by command and by event, restart, timeout, back.
    checkFuzzSeed("suite_dialog_events", "opening",
                  said(6) + event(17, 0) + event(27, 0) + event(3, 0) + event(1, 0) + event(4, 0));
    // Always-available phrases and the events only they carry.
    checkFuzzSeed("suite_dialog_events", "always",
                  always(53) + always(2) + event(25, 0) + event(26, 0) + event(32, 0) + event(16, 3));
}

}  // namespace
