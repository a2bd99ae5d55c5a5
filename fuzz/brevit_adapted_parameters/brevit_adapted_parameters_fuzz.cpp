// "bamp0" arrives from user storage: take the input as its content, load it
// into an adaptable byte model and an inner-product model, both with added
// phones, read back their means, score a frame against every state (the
// added ones from the loaded rows) and save what loaded back to an archive.
#include "core/brevit/acoustic/am.h"
#include "core/brevit/acoustic/am_params.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "oem/dvk_oem_dirs.h"
#include "tests/support/acoustic_model_records.h"
#include "tests/support/fuzz_archive_image.h"
#include "tests/support/fuzz_sub_file_archive.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

AcousticModelSpec modelSpec(bool innerProduct)
{
    AcousticModelSpec spec;
    spec.adaptable = true;
    spec.addedModels = true;
    spec.firstAdaptableState = 4;
    if (innerProduct) {
        spec.storage = AcousticStorage::InnerProduct;
        spec.covType = 5;
        spec.threshold = true;
    }
    return spec;
}

bool writeModels(DVKTar* tar)
{
    for (const char* prefix : {"byte/", "ip/"}) {
        BinFileWriter* w = BinFileWriter_Create(tar, "ba0", prefix);
        if (w == nullptr)
            return false;
        const bool ok = acousticModelRecords(modelSpec(prefix[0] == 'i')).write(w);
        if (BinFileWriter_Delete(w) != 0 || !ok)
            return false;
    }
    return true;
}

// Where saved sub-files go: the writable directory of a root made once.
std::string savePath()
{
    static const std::string path = [] {
        char dir[] = "/tmp/mwfuzz.XXXXXX";
        if (mkdtemp(dir) == nullptr)
            return std::string();
        setenv("MERROWIND_ROOT", dir, 1);
        std::error_code error;
        std::filesystem::create_directories(dvkOemWritableDir(), error);
        return (std::filesystem::path(dvkOemWritableDir()) / "saved.dvk").string();
    }();
    return path;
}

void use(DVKTar* tar, const char* prefix)
{
    AM* am = AM_LoadFromBinFile(tar, prefix, 0);
    if (am == nullptr)
        return;
    if (AM_LoadAdaptedParameters(am, tar, nullptr, 0, 0)) {
        for (int32_t s = 0; s < am->numScoredStates; ++s)
            AM_GetComponentMean(am, s, 0);
        if (AMScoringSet* set = AM_NewScoringSet()) {
            AM_GetScoringFunctions(am, set, 0, 0);
            uint8_t frame[64] = {};
            for (int32_t d = 0; d < 64; ++d)
                frame[d] = static_cast<uint8_t>(37 * d);
            AM_NewFrame(am, frame, nullptr, set, 0, 1);
            for (int32_t s = 0; s < am->numScoredStates; ++s)
                AM_GetStateScore(am, s);
            uint32_t crc = 0;
            AM_EndFrame(am, 0, &crc);
            AM_DeleteScoringSet(set);
        }
        AM_ComputeCRC(am, 0);
        const std::string path = savePath();
        if (!path.empty()) {
            DVKTar* out = DVKTar_OpenForWrite(path.c_str());
            if (out != nullptr) {
                AM_SaveAdaptedParameters(am, out, nullptr, 0, 0);
                DVKTar_Close(out);
            }
        }
    }
    AM_Destroy(am);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1 << 16)
        return 0;
    // The models are written once; each input joins them as "bamp0".
    static const std::string models = [] {
        SystemEngineContext context;
        return writtenArchiveImage(&writeModels);
    }();
    if (models.empty())
        std::abort();
    std::string image = models;
    appendArchiveEntry(image, "bamp0", data, size);
    return fuzzArchiveImage(reinterpret_cast<const uint8_t*>(image.data()), image.size(),
                            [](DVKTar* tar) {
                                use(tar, "byte/");
                                use(tar, "ip/");
                            });
}
