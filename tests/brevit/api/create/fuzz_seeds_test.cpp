// The seeds of the model-set and storage fuzz targets are made by the
// model-set writer and by engines of its sets; this keeps the committed
// files current.
#include "core/brevit/api/brevit_create.h"
#include "tests/brevit/api/create/model_set_fixture.h"
#include "tests/support/fuzz_seed_check.h"

#include <gtest/gtest.h>

namespace {

using model_set::ModelSetSpec;

class FuzzSeeds : public ModelSetTest {};

TEST_F(FuzzSeeds, ModelSets)
{
    checkFuzzSeed("brevit_model_set", "default", model_set::image(records(ModelSetSpec{})));

    ModelSetSpec full;
    full.models[1] = model_set::defaultModel(2);
    full.models[2] = model_set::defaultModel(3);
    full.models[3] = model_set::defaultModel(4);
    full.grammar = grammar_file::Spec{};
    full.params.word(kBrevitParamDynamicSilence, 1);
    full.models[0]->dynamicSilence = true;
    checkFuzzSeed("brevit_model_set", "full", model_set::image(records(full)));

    ModelSetSpec flagged;
    flagged.decoders[0].present = false;
    flagged.decoders[1].kind = 8;
    flagged.params.word(kBrevitParamFastDecoderKind8, 1).word(kBrevitParamGrammarCapacity, 4);
    checkFuzzSeed("brevit_model_set", "flagged", model_set::image(records(flagged)));
}

TEST_F(FuzzSeeds, Storages)
{
    BrevitEngine* engine = created(ModelSetSpec{});
    ASSERT_NE(engine, nullptr);
    ASSERT_EQ(Brevit_SetClientDataItem(engine, "seed", 3, "abc"), EBrevit_OK);
    ASSERT_EQ(Brevit_SaveToStorage(engine, "seed_storage.dvk"), EBrevit_OK);
    ASSERT_EQ(Brevit_SaveToStoragePair(engine, "seed_a.dvk", "seed_b.dvk"), EBrevit_OK);
    const std::filesystem::path dir = dvkOemWritableDir();
    checkFuzzSeed("brevit_storage", "storage", model_set::readFile((dir / "seed_storage.dvk").string()));
    checkFuzzSeed("brevit_storage", "half_a", model_set::readFile((dir / "seed_a.dvk").string()));
    checkFuzzSeed("brevit_storage", "half_b", model_set::readFile((dir / "seed_b.dvk").string()));
}

}  // namespace
