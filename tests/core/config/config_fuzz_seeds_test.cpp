// The seeds of the configuration fuzz target come from the file writer.
#include "tests/support/fuzz_seed_check.h"
#include "tests/support/table_file_writers.h"

namespace {

TEST(ConfigFuzzSeeds, AreMadeByTheWriter)
{
    ConfigFileWriter three;
    three.gates = {{{100, 101}, {}, 10, 7, 0, 1}, {{102}, {}, 11, 7, 1, 2}, {{103}, {200, 201}, 12, -1, 68, 3}};
    ConfigFileWriter two;
    two.gates = {{{100, 101}, {}, 10, -1, 68, 1}, {{102}, {}, 11, -1, 68, 24}};
    ConfigFileWriter sharedCategory;
    sharedCategory.gates = {{{100}, {200}, 10, 7, 68, 1}, {{101}, {}, 11, 7, 68, 2}};
    ConfigFileWriter bad = three;
    bad.overrides["phraseStart"][2] = 4;
    checkFuzzSeed("suite_config", "three_gates", three.bytes());
    checkFuzzSeed("suite_config", "two_gates", two.bytes());
    checkFuzzSeed("suite_config", "shared_category", sharedCategory.bytes());
    checkFuzzSeed("suite_config", "phrases_past_k", bad.bytes());
}

} // namespace
