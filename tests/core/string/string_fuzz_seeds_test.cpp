// The seeds of the string-table fuzz target come from the file writer.
#include "tests/support/fuzz_seed_check.h"
#include "tests/support/table_file_writers.h"

namespace {

TEST(StringFuzzSeeds, AreMadeByTheWriter)
{
    StringFileWriter main;
    main.strings = numberedStrings(u"String ", 679);
    main.textLength = 16812;
    StringFileWriter ucs2;
    ucs2.encoding = 0;
    ucs2.strings = {u"\u65E5\u672C", u"Two", u""};
    StringFileWriter damaged = ucs2;
    damaged.offsets[1] = 1000;
    damaged.textLength = 5;
    StringFileWriter huge;
    huge.strings = {u"One"};
    huge.count = 0x40000000;
    checkFuzzSeed("suite_string_table", "main_enus", main.bytes());
    checkFuzzSeed("suite_string_table", "ucs2", ucs2.bytes());
    checkFuzzSeed("suite_string_table", "damaged", damaged.bytes());
    checkFuzzSeed("suite_string_table", "huge_count", huge.bytes());
}

} // namespace
