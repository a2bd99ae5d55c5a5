#include "core/brevit/search/lid.h"

#include "tests/brevit/search/table_test.h"
#include "tests/brevit/search/language_table_samples.h"

#include <string>
#include <vector>

namespace {

using namespace search_tables;
using namespace language_samples;

class LanguageIdentification : public TableTest {
protected:
    LID* loadModel(const LIDFields& f) { return loadWith(f); }
    LID* loadWith(const LIDFields& f, const char* prefix = nullptr)
    {
        WrittenTable table([&](BinFileWriter* w) { return language_tables::write(w, f); }, kLIDSubFileTag);
        return LID_LoadFromBinFile(table.tar(), prefix);
    }
    void expectLoadFailuresRefused(const LIDFields& f)
    {
        WrittenTable table([&](BinFileWriter* w) { return language_tables::write(w, f); }, kLIDSubFileTag);
        table.expectAllocationFailuresRefused(m_allocator, LID_Read, LID_Delete);
    }
};

struct Identified {
    std::string text;
    const char* language;   // null: none
    int32_t margin;
};

void expectIdentified(const LID* model, const std::vector<Identified>& cases, const std::string& what)
{
    for (const Identified& c : cases) {
        int32_t margin = -1;
        const char* language = LID_IdentifyText(model, c.text.c_str(), &margin);
        if (c.language == nullptr) {
            EXPECT_EQ(language, nullptr) << what << " " << c.text;
            continue;
        }
        ASSERT_NE(language, nullptr) << what << " " << c.text;
        EXPECT_STREQ(language, c.language) << what << " " << c.text;
        EXPECT_EQ(margin, c.margin) << what << " " << c.text;
    }
}

TEST_F(LanguageIdentification, LowestTotalCostWins)
{
    LID* model = loadWith(byteModel());
    ASSERT_NE(model, nullptr);
    expectIdentified(model,
                     {{"ab", "enus", 3},
                      {"abc", "enus", 65534},
                      {"bb", "dede", 8},
                      {"aaaabbbbbbb", "enus", 0},
                      {"xyz", nullptr, 0},
                      {"", nullptr, 0},
                      {"zz", "dede", 0x7FFFFFFF},
                      {"a-b", "enus", 3}},
                     "byte map");
    // UTF-16 text: units above 255 become blanks, which carry no symbol.
    int32_t margin = 0;
    EXPECT_STREQ(LID_GetLanguageId(model, reinterpret_cast<const uint16_t*>(u"a\u20ACb"), &margin), "enus");
    EXPECT_EQ(margin, 3);
    EXPECT_STREQ(LID_GetLanguageId(model, reinterpret_cast<const uint16_t*>(u"zz"), nullptr), "dede");
    EXPECT_EQ(LID_IdentifyText(model, "ab", nullptr), LID_IdentifyText(model, "ab", &margin));
    LID_Delete(model);

    model = loadModel(byteModel(centreTree(), {"enus"}));
    ASSERT_NE(model, nullptr);
    expectIdentified(model, {{"ab", "enus", 2147483638}}, "one language");
    LID_Delete(model);

    model = loadModel(byteModel(centreTree(), {}));
    ASSERT_NE(model, nullptr);
    expectIdentified(model, {{"ab", "_UNKNOWN_", 0}, {"xyz", "_UNKNOWN_", 0}}, "no language");
    LID_Delete(model);

    model = loadModel(byteModel(previousTree()));
    ASSERT_NE(model, nullptr);
    expectIdentified(model, {{"ab", "enus", 30}, {"ba", "dede", 38}}, "previous symbol");
    LID_Delete(model);
}

TEST_F(LanguageIdentification, ReadsUtf8TextThroughTheCharacterTable)
{
    LID* model = loadModel(utf8Model());
    ASSERT_NE(model, nullptr);
    expectIdentified(model,
                     {{"a\xC3\xA9" "b", "enus", 65534},
                      {"axb", "enus", 3},
                      {"a\xC3", nullptr, 0},
                      {"\xC0\xA1", nullptr, 0},
                      {"zz", "dede", 0x7FFFFFFF}},
                     "utf-8");
    int32_t margin = 0;
    EXPECT_STREQ(LID_GetLanguageId(model, reinterpret_cast<const uint16_t*>(u"a\u00E9b"), &margin), "enus");
    EXPECT_EQ(margin, 65534);
    LID_Delete(model);
}

TEST_F(LanguageIdentification, ChecksumCoversEveryPart)
{
    const std::vector<LIDFields> models = {byteModel(), utf8Model()};
    for (const LIDFields& base : models) {
        LID* model = loadModel(base);
        ASSERT_NE(model, nullptr);
        const uint32_t crc = LID_ComputeCRC(model);
        EXPECT_EQ(LID_GetScale(model), 0);
        LID_Delete(model);
        const std::vector<std::function<void(LIDFields&)>> changes = {
            [](LIDFields& f) { f.scale = 4; },
            [](LIDFields& f) { f.setCRC = 4; },
            [](LIDFields& f) { f.width = 4; },
            [](LIDFields& f) { f.languages = language_tables::namedSymbols({"enus", "frfr"}, {1, 2}); },
            [](LIDFields& f) { f.exceptions = language_tables::namedSymbols({"zy"}, {1}); },
            [](LIDFields& f) { f.exceptionLanguages.entries[1] = 1; },
            [](LIDFields& f) { f.third = search_tables::sortedSymbols<char>({"x"}); },
            [](LIDFields& f) { f.tree = previousTree(); },
            [](LIDFields& f) {
                if (f.mode == 1)
                    f.secondIndex.entries[0] = 9;
                else
                    f.byteMap[200] = 1;
            },
        };
        for (size_t i = 0; i < changes.size(); ++i) {
            LIDFields f = base;
            changes[i](f);
            model = loadModel(f);
            ASSERT_NE(model, nullptr) << i;
            EXPECT_NE(LID_ComputeCRC(model), crc) << i;
            LID_Delete(model);
        }
    }
    LIDFields f = byteModel();
    f.scale = -9;
    f.setCRC = 0xABCD;
    LID* model = loadModel(f);
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(LID_GetScale(model), -9);
    EXPECT_EQ(LID_GetLanguageSetCRC(model), 0xABCDu);
    LID_Delete(model);
}

TEST_F(LanguageIdentification, RefusesInconsistentModels)
{
    const std::vector<Damage<LIDFields>> rows = {
        {"tree asks position 3 of 3", [](LIDFields& f) { f.tree = centreTree(3); }},
        {"negative width", [](LIDFields& f) { f.width = -1; }},
        {"byte map of 255", [](LIDFields& f) { f.byteMap.pop_back(); }},
        {"no byte map, mode 0", [](LIDFields& f) { f.byteMap.clear(); }},
        {"no byte map, mode 2", [](LIDFields& f) { f.byteMap.clear(); f.mode = 2; }},
        {"language count", [](LIDFields& f) { f.languages.count = 3; }},
        {"exception index count", [](LIDFields& f) { f.exceptionLanguages.count = 9; }},
        {"tree nodes count", [](LIDFields& f) { f.tree.nodeCount += 1; }},
    };
    for (const auto& row : rows) {
        LIDFields f = byteModel();
        row.damage(f);
        LID* refused = loadModel(f);
        EXPECT_EQ(refused, nullptr) << row.what;
        LID_Delete(refused);
    }
    // Width 0 takes only a tree that asks nothing.
    LIDFields leafOnly = byteModel(tree(pairLeaf({{1, 5}, {2, 6}}), letterSets(), kTreeStd));
    leafOnly.width = 0;
    LID* model = loadModel(leafOnly);
    ASSERT_NE(model, nullptr);
    expectIdentified(model, {{"ab", "enus", 2}}, "leaf root");
    LID_Delete(model);
    // Cut after every record.
    for (const LIDFields& base : {byteModel(), utf8Model()})
        for (size_t n = 1; n < language_tables::records(base); ++n) {
            LIDFields f = base;
            f.recordLimit = n;
            LID* cut = loadModel(f);
            EXPECT_EQ(cut, nullptr) << n << " records";
            LID_Delete(cut);
        }
    EXPECT_EQ(loadWith(byteModel(), "other"), nullptr);
    expectLoadFailuresRefused(byteModel());
    expectLoadFailuresRefused(utf8Model());
}

} // namespace
