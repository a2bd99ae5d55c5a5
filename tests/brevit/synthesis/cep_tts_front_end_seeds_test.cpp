// The seeds of the front-end fuzz target (fuzz/brevit_tts_front_end/corpus):
// blocks made by the test writer with texts. This test keeps the committed
// files current and checks each block loads as the target loads it.
#include "tests/brevit/synthesis/front_end_fixture.h"
#include "tests/support/fuzz_seed_check.h"
#include "tests/support/archive_fixture.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace tts_front_end;

// The content of one sub-file as the engine's writer makes it.
template <typename Fill>
std::string subFileBytes(Fill fill)
{
    ArchiveFixture archive("seed.dvk");
    archive.add("seed", fill);
    archive.finish();
    DVKTar* tar = archive.openForRead();
    DVKTarSubFile* sub = DVKTar_SubFileOpen(tar, "seed");
    EXPECT_NE(sub, nullptr);
    std::string bytes(DVKTar_SubFileGetSize(sub), '\0');
    EXPECT_EQ(DVKTar_SubFileRead(sub, bytes.data(), static_cast<int32_t>(bytes.size())),
              static_cast<int32_t>(bytes.size()));
    DVKTar_SubFileClose(sub);
    return bytes;
}

std::string seed(const FrontEndFields& f, const std::u16string& text)
{
    const std::string block = subFileBytes([&](BinFileWriter* w) { return write(w, f); });
    std::string out;
    out.push_back(static_cast<char>(block.size() & 0xFF));
    out.push_back(static_cast<char>(block.size() >> 8));
    out += block;
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

class FrontEndFuzzSeeds : public FrontEndTest {};

TEST_F(FrontEndFuzzSeeds, CommittedSeedsAreWhatTheWriterMakes)
{
    vocabulary(front_end_fixture::words());
    FrontEndFields plain = front_end_fixture::fields();
    FrontEndFields split = plain;
    split.breakTree = breakTreeOnOwnTag(3, {{5, 3}, {6, 1}, {7, 4}, {8, 0}, {9, 2}}, 5);
    split.breakClasses = {0, 1, 2, 3, 4, 5};
    split.breakClassCount = 6;
    split.phraseMaxSyllables = 4;
    FrontEndFields costs = split;
    costs.phraseCostLength = 4;
    costs.phraseCosts = {0, 40, 30, 8, 6};
    costs.phraseCostSlope = 3;
    costs.phraseSplitSyllables = 5;
    FrontEndFields rules = plain;
    rules.ruleSymbolCount = 9;
    rules.markers = {1, 2, 3, 4, 5, 6, 7, 8};
    rules.rulesPresent = 1;
    RulesSpec spec;
    spec.repeatMarker = 9;
    spec.maxSymbol = 9;
    spec.sets = {{true, 2, {{{}, {5}, {}, {6}}}}};
    rules.rules.rules = rulesFields(spec);
    rules.rules.tagSymbols = search_tables::indexTable({0});
    rules.rules.semanticSymbols = search_tables::indexTable({0});
    rules.rules.phoneSymbols = search_tables::indexTable({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9});
    rules.rules.symbolValues = {0, 0, 0, 0, 0, 0, 0, 0, 0, 21};
    rules.rules.symbolKinds = {0, 0, 0, 0, 0, 0, 0, 0, 0, 3};
    const std::pair<const char*, std::pair<FrontEndFields, std::u16string>> seeds[] = {
        {"punctuation", {plain, u"a, b. , c! d"}},
        {"unknown-words", {plain, u"zaza a zaza qq"}},
        {"split-by-class", {split, u"b c d e f g."}},
        {"split-by-cost", {costs, u"b c d e f g. h"}},
        {"rules", {rules, u"a c a"}},
    };
    for (const auto& [name, content] : seeds) {
        checkFuzzSeed("brevit_tts_front_end", name, seed(content.first, content.second));
        EXPECT_NE(load(content.first), nullptr) << name;
    }
}

} // namespace
