// The seeds of the active word list fuzz target are archives holding a
// static part made by the "bacm0" writer and, beside it, a user state saved
// by the list itself under the target's parameter block.
#include "fuzz/brevit_active_words/active_words_fuzz.h"
#include "tests/brevit/search/table_test.h"
#include "tests/support/active_word_list_writer.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/fuzz_seed_check.h"

#include "core/brevit/lexicon/active_word_list.h"

#include <string>

namespace {

using active_words::Fields;

class ActiveWordListFuzzSeeds : public TableTest {
protected:
    // withState: run-time words and prons with holes, saved beside the static part.
    std::string seed(const char* name, const Fields& f, bool withState, bool cache)
    {
        BrevitGlobalParameters parameters;
        active_words_fuzz::setParameters(parameters, cache);
        BrevitGlobalParameters* previous = gpBrevitGlobalParameters;
        gpBrevitGlobalParameters = &parameters;
        AWL* list = nullptr;
        if (withState) {
            ArchiveFixture model("model.dvk");
            model.add(kAWLSubFileTag, [&](BinFileWriter* w) { return active_words::write(w, f); });
            model.finish();
            list = AWL_LoadFromBinFile(model.openMapped(), nullptr);
            EXPECT_NE(list, nullptr) << name;
            for (uint32_t m : {700u, 30u, 900u, 31u}) {
                const int32_t id = AWL_AddActiveId(list, m);
                AWL_AddPron(list, id);
                AWL_AddPron(list, id);
            }
            AWL_AddPron(list, 0);
            AWL_RemoveActiveId(list, AWL_GetFirstDynamicActiveId(list) + 1, 1);
            AWL_RemovePron(list, AWL_GetNthPronId(list, AWL_GetFirstDynamicActiveId(list), 0));
        }
        ArchiveFixture archive(std::string(name) + ".dvk");
        archive.add(kAWLSubFileTag, [&](BinFileWriter* w) { return active_words::write(w, f); });
        if (list != nullptr) {
            EXPECT_EQ(AWL_WritePSAFile(list, archive.tar(), active_words_fuzz::kStatePrefix), 1);
        }
        archive.finish();
        AWL_Delete(list);
        gpBrevitGlobalParameters = previous;
        return archive.bytes();
    }
};

TEST_F(ActiveWordListFuzzSeeds, CommittedSeedsAreWhatTheWritersMake)
{
    active_words::Options bits;
    bits.shift = 2;
    bits.categories = {0, 1, 2, 0, 1, 2, 0};
    const Fields bitSet = active_words::build({10, 12, 13, 20, 21, 28}, {2, 1, 0, 1, 1, 2}, bits);
    const Fields idTable = active_words::build({40, 12, 7}, {1, 3, 1},
                                               active_words::formOptions(active_words::Form::IdTable));
    const Fields contiguous = active_words::build({5, 6, 7, 8}, {1, 1, 2, 1},
                                                  active_words::formOptions(active_words::Form::Contiguous));
    Fields damaged = bitSet;
    damaged.blockTable[2] = 1;
    checkFuzzSeed("brevit_active_words", "bitset", seed("bitset", bitSet, true, false));
    checkFuzzSeed("brevit_active_words", "cache", seed("cache", idTable, true, true));
    checkFuzzSeed("brevit_active_words", "contiguous", seed("contiguous", contiguous, false, false));
    checkFuzzSeed("brevit_active_words", "damaged", seed("damaged", damaged, false, false));
}

} // namespace
