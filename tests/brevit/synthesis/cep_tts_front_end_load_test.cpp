#include "tests/brevit/synthesis/front_end_fixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>

namespace {

using namespace tts_front_end;

// Every record present: a cost table, a break tree asking position 1 of
// W = 3, and a rule block with M = 9.
FrontEndFields full()
{
    FrontEndFields f = front_end_fixture::fields();
    f.breakTree = breakTreeOnOwnTag(3, {{5, 1}, {6, 2}}, 0);
    f.breakClasses = {0, 3, 1};
    f.breakClassCount = 3;
    f.phraseCostLength = 4;
    f.phraseCosts = {0, 40, 30, 8, 6};
    f.phraseSplitSyllables = 5;
    f.phraseCostSlope = 3;
    f.ruleSymbolCount = 9;
    f.markers = {1, 2, 3, 4, 5, 6, 7, 8};
    f.rulesPresent = 1;
    RulesSpec rules;
    rules.repeatMarker = 9;
    rules.maxSymbol = 9;
    rules.sets = {{true, 2, {{{8}, {7}, {}, {}}}}};
    f.rules.rules = rulesFields(rules);
    f.rules.tagSymbols = search_tables::indexTable({0, 0, 0, 0});
    f.rules.semanticSymbols = search_tables::indexTable({0});
    f.rules.phoneSymbols = search_tables::indexTable(std::vector<uint16_t>(31, 0));
    f.rules.symbolValues = std::vector<uint16_t>(10, 0);
    f.rules.symbolKinds = std::vector<uint32_t>(10, 0);
    return f;
}

using Change = std::pair<const char*, std::function<void(FrontEndFields&)>>;

class FrontEndLoad : public FrontEndTest {};

TEST_F(FrontEndLoad, ChecksumsAreEqualForTwoLoadsAndMoveWithEveryField)
{
    CepTTSFrontEnd* a = load(full());
    CepTTSFrontEnd* b = load(full());
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    const uint32_t crc = CepTTSFrontEnd_ComputeCRC(a);
    EXPECT_EQ(CepTTSFrontEnd_ComputeCRC(b), crc);
    const Change changes[] = {
        {"tag A", [](FrontEndFields& f) { f.punctuationTagA = 9; }},
        {"tag B", [](FrontEndFields& f) { f.punctuationTagB = 9; }},
        {"default tag", [](FrontEndFields& f) { f.defaultTag = 9; }},
        {"window", [](FrontEndFields& f) { f.breakWindow = 4; }},
        {"history", [](FrontEndFields& f) { f.tagHistory = 3; }},
        {"beam", [](FrontEndFields& f) { f.tagBeam = 1; }},
        {"split syllables", [](FrontEndFields& f) { f.phraseSplitSyllables = 6; }},
        {"max syllables", [](FrontEndFields& f) { f.phraseMaxSyllables = 6; }},
        {"cost length", [](FrontEndFields& f) {
             f.phraseCostLength = 5;
             f.phraseCosts.push_back(1);
         }},
        {"slope", [](FrontEndFields& f) { f.phraseCostSlope = 4; }},
        {"weight", [](FrontEndFields& f) { f.pieceCostWeight = 8; }},
        {"offset", [](FrontEndFields& f) { f.pieceCostOffset = 1; }},
        {"accent class", [](FrontEndFields& f) { f.accentClass = 3; }},
        {"symbol count", [](FrontEndFields& f) {
             f.ruleSymbolCount = 10;
             f.rules.symbolValues.push_back(0);
             f.rules.symbolKinds.push_back(0);
         }},
        {"marker", [](FrontEndFields& f) { f.markers[7] = 9; }},
        {"tag rewrites", [](FrontEndFields& f) { f.tagRewrites.data[0] = 2; }},
        {"break tree", [](FrontEndFields& f) { f.breakTree = breakTreeOnOwnTag(3, {{5, 2}, {6, 1}}, 0); }},
        {"break classes", [](FrontEndFields& f) { f.breakClasses[2] = 7; }},
        {"phrase costs", [](FrontEndFields& f) { f.phraseCosts[4] = 7; }},
        {"class table", [](FrontEndFields& f) { f.posClassTable.entries[5] = 9; }},
        {"rules", [](FrontEndFields& f) { f.rules.rules.sets[0].expansion = 3; }},
        {"rules absent", [](FrontEndFields& f) { f.rulesPresent = 0; }},
    };
    for (const auto& [what, change] : changes) {
        FrontEndFields f = full();
        change(f);
        CepTTSFrontEnd* c = load(f);
        ASSERT_NE(c, nullptr) << what;
        EXPECT_NE(CepTTSFrontEnd_ComputeCRC(c), crc) << what;
    }
}

TEST_F(FrontEndLoad, RefusesDamagedRecords)
{
    const Change rows[] = {
        {"class count above the classes", [](FrontEndFields& f) { f.breakClassCount = 4; }},
        {"classes absent", [](FrontEndFields& f) { f.breakClasses.clear(); }},
        {"negative window", [](FrontEndFields& f) { f.breakWindow = -1; }},
        {"tree asks past the window", [](FrontEndFields& f) { f.breakWindow = 1; }},
        {"cost table short", [](FrontEndFields& f) { f.phraseCosts.pop_back(); }},
        {"cost table absent", [](FrontEndFields& f) { f.phraseCosts.clear(); }},
        {"tag rewrites damaged", [](FrontEndFields& f) { f.tagRewrites.idCount += 1; }},
        {"break tree damaged", [](FrontEndFields& f) { f.breakTree.encoding = 7; }},
        {"class table damaged", [](FrontEndFields& f) { f.posClassTable.count += 1; }},
        {"rules damaged", [](FrontEndFields& f) { f.rules.rules.symbolPoolSize += 1; }},
        {"symbol values short", [](FrontEndFields& f) { f.rules.symbolValues.pop_back(); }},
        {"phone symbol above the phones", [](FrontEndFields& f) {
             f.rules.symbolKinds[5] = 3;
             f.rules.symbolValues[5] = front_end_fixture::kMaxPhone + 1;
         }},
        {"rules flag not a boolean", [](FrontEndFields& f) { f.rulesPresent = 2; }},
        {"a further block announced", [](FrontEndFields& f) { f.more = 1; }},
    };
    for (const auto& [what, damage] : rows) {
        FrontEndFields f = full();
        damage(f);
        EXPECT_EQ(load(f), nullptr) << what;
    }
    // The block cut short after each of its leading records.
    for (int32_t records = 1; records < 26; ++records) {
        WrittenTable cut([&](BinFileWriter* w) {
            const FrontEndFields f = full();
            const int32_t values[] = {f.punctuationTagA, f.punctuationTagB, f.defaultTag, f.breakWindow,
                                      f.tagHistory, f.tagBeam, f.breakClassCount, f.phraseSplitSyllables,
                                      f.phraseMaxSyllables, f.phraseCostLength, f.phraseCostSlope,
                                      f.pieceCostWeight, f.pieceCostOffset, f.accentClass, f.ruleSymbolCount,
                                      1, 2, 3, 4, 5, 6, 7, 8};
            bool ok = true;
            for (int32_t k = 0; k < records && k < 23; ++k)
                ok = ok && BinFileWriter_WriteInt(w, values[k]);
            if (records > 23)
                ok = ok && search_tables::write(w, f.tagRewrites);
            if (records > 24)
                ok = ok && search_tables::write(w, f.breakTree);
            return ok;
        });
        EXPECT_EQ(cut.load([&](BinFileReader* r) { return loadFrom(r); }), nullptr) << records;
    }
}

TEST_F(FrontEndLoad, RefusesPronunciationSymbolsAboveThePhones)
{
    search_tables::RewriteFields table = front_end_fixture::pronToPhone();
    table.data[table.offsets[5]] = front_end_fixture::kMaxPhone + 1;
    LMRewrite* bad = readRewrite(table);
    ASSERT_NE(bad, nullptr);
    m_phones.pronToPhoneRewrites = bad;
    EXPECT_EQ(load(full()), nullptr);
    // The stress and syllable marks lie above the phones and are allowed.
    m_phones.pronToPhoneRewrites = m_pron;
    EXPECT_NE(load(full()), nullptr);
    LMRewrite_Delete(bad);
}

TEST_F(FrontEndLoad, EachAllocationFailureGivesNothing)
{
    WrittenTable table([&](BinFileWriter* w) { return write(w, full()); });
    table.expectAllocationFailuresRefused(
        m_allocator, [&](BinFileReader* r) { return loadFrom(r); }, CepTTSFrontEnd_Delete);
}

} // namespace
