// The seeds of the acoustic-model fuzz target (fuzz/brevit_acoustic_model/
// corpus) are archives made by the model writer, one per storage form and
// tree form. This test keeps the committed files current.
#include "tests/brevit/acoustic/acoustic_fixture.h"
#include "tests/support/fuzz_seed_check.h"

#include <functional>

namespace {

struct Seed {
    const char* name;
    std::function<void(AcousticModelSpec&)> shape;
};

using AcousticFuzzSeeds = AcousticTest;

TEST_F(AcousticFuzzSeeds, CommittedSeedsAreWhatTheWriterMakes)
{
    const Seed seeds[] = {
        {"bytes", [](AcousticModelSpec& s) { s.dim = 12; }},
        {"four-bit",
         [](AcousticModelSpec& s) {
             s.dim = 12;
             s.fourBitMeans = s.fourBitWeights = s.byteWeights = true;
         }},
        {"inner-product",
         [](AcousticModelSpec& s) {
             s.dim = 24;
             s.storage = AcousticStorage::InnerProduct;
             s.covType = 5;
             s.threshold = true;
         }},
        {"laplacian",
         [](AcousticModelSpec& s) {
             s.dim = 16;
             s.storage = AcousticStorage::InnerProduct;
             s.laplacian = true;
         }},
        {"hare-turtle",
         [](AcousticModelSpec& s) {
             s.storage = AcousticStorage::HareTurtle;
             s.byteWeights = true;
         }},
        {"all-blocks",
         [](AcousticModelSpec& s) {
             s.dim = 8;
             s.unscaling = s.tiedTable = s.triphoneIndex = s.componentBytes = s.stateBytes = true;
             s.auxLength = 2;
             s.vq = s.mllr = s.dynamicSilence = s.addedModels = s.shortlist = true;
             s.hasFiller = true;
             s.fillerState = 7;
             s.offsets32 = true;
         }},
        {"tree-shared",
         [](AcousticModelSpec& s) {
             s.dim = 4;
             s.tree = AcousticTreeSpec::treeB();
             s.singleComponent = true;
         }},
        {"tree-context",
         [](AcousticModelSpec& s) {
             s.dim = 4;
             s.states = 24;
             s.tree = AcousticTreeSpec::treeC();
         }},
        {"shortlist-silence",
         [](AcousticModelSpec& s) {
             s.dim = 8;
             s.covType = 2;
             s.shortlist = s.dynamicSilence = true;
             s.shortlistClusters = 3;
         }},
        {"vq-packed",
         [](AcousticModelSpec& s) {
             s.dim = 24;
             s.covType = 5;
             s.vq = true;
             s.vqSpec = AcousticVQSpec::sixStreamsOfFour(true, true);
         }},
        {"no-parameters", [](AcousticModelSpec& s) { s.noParameters = true; }},
    };
    for (const Seed& seed : seeds) {
        SCOPED_TRACE(seed.name);
        AcousticModelSpec spec;
        seed.shape(spec);
        ArchiveFixture& archive = archiveWith(acousticModelRecords(spec));
        const std::string bytes = archive.bytes();
        // Every seed is a model that loads.
        EXPECT_NE(keep(AM_LoadFromBinFile(archive.openMapped(), nullptr, 0)), nullptr);

        checkFuzzSeed("brevit_acoustic_model", seed.name, bytes);
    }
}

} // namespace
