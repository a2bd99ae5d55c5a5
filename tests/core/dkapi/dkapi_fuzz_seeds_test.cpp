// The committed seeds of the speech API's list fuzz target are the ones
// these scripts make.
#include "fuzz/suite_dkapi_lists/dkapi_script.h"
#include "tests/support/fuzz_seed_check.h"

namespace {

TEST(DkapiFuzzSeeds, AreCurrent)
{
    // Capacity 3: a list with a display text and one item the recogniser
    // refuses; the spoken form and a plain item recognised.
    checkFuzzSeed("suite_dkapi_lists", "list",
                  dkapiScript({"\x03" "Ann", "Bob|bob", "!Cy", "Dee|d|e"}, {{{}, "bob"}, {{}, "\x03" "Ann"}}));
    // Capacity 2: music entries with an empty song and a repeat.
    checkFuzzSeed("suite_dkapi_lists", "music",
                  dkapiScript({"\x02"}, {{{{"song", "Alpha"}, {"artist", "Zed"}}, "Alpha Zed"},
                                         {{{"song", ""}, {"album", ""}}, ""},
                                         {{{"song", "Alpha"}, {"artist", "Zed"}}, "Alpha Zed"},
                                         {{{"simplePlaylist", "Mix"}}, "Mix"}}));
    // A long utterance, cut at 255 units.
    checkFuzzSeed("suite_dkapi_lists", "long", dkapiScript({"\x01"}, {{{}, std::string(300, 'x')}}));
}

}  // namespace
