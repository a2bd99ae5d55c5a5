// The seeds of the prompt-table fuzz target come from the file writer.
#include "tests/support/fuzz_seed_check.h"
#include "tests/support/table_file_writers.h"

namespace {

TEST(PromptFuzzSeeds, AreMadeByTheWriter)
{
    PromptFileWriter main;
    for (size_t i = 0; i < 447; ++i)
        main.prompts.push_back({std::string(i % 7 + 1, static_cast<char>(i)), std::nullopt});
    main.audioSize = 311818;
    PromptFileWriter mixed;
    mixed.prompts = {{"ab", u"One"}, {std::nullopt, u"Two"}, {"cde", std::nullopt}, {}};
    PromptFileWriter ucs2 = mixed;
    ucs2.encoding = 0;
    ucs2.prompts[1].text = u"\u65E5\u672C";
    PromptFileWriter damaged = mixed;
    damaged.audioOffsets[0] = 4;
    damaged.audioLengths[2] = 0;
    damaged.textOffsets[1] = 1000;
    damaged.textLength = 7;
    PromptFileWriter huge = mixed;
    huge.count = 0x7fffffff;
    checkFuzzSeed("suite_prompt_table", "main_enus", main.bytes());
    checkFuzzSeed("suite_prompt_table", "mixed", mixed.bytes());
    checkFuzzSeed("suite_prompt_table", "ucs2", ucs2.bytes());
    checkFuzzSeed("suite_prompt_table", "damaged", damaged.bytes());
    checkFuzzSeed("suite_prompt_table", "huge_count", huge.bytes());
}

} // namespace
