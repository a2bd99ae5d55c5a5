// The class manager's "bcm1" comes from a model set ("model/bcm1") and from
// user storage ("user/bcm1"): load the model set, read the user file into
// it, then take the checksum, look up every id and name, edit a class,
// write the manager out and delete it.
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/class_manager_tables.h"
#include "core/brevit/search/class_networks.h"
#include "tests/brevit/search/fake_vocabulary.h"
#include "tests/support/fuzz_archive_image.h"

#include "oem/dvk_oem_dirs.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// Where the written manager goes: the writable directory of a root made once.
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FakeVocabulary vocabulary{{{2, {1}}, {5, {2, 3}}, {6, {4}}, {7, {5, 6, 7}}, {300, {1000}}}};
    return fuzzArchiveImage(data, size, [&](DVKTar* tar) {
        ClassManager* m = ClassManager_LoadFromBinFile(tar, "model/", vocabulary.voc(), nullptr, nullptr);
        if (m == nullptr)
            return;
        int irObject = 0;
        ClassManager_ReadPSAFile(m, tar, "user/", &irObject, 1);
        ClassManager_ComputeCRC(m, 1);
        for (uint32_t id = 0; id <= static_cast<uint32_t>(m->maxId) + 1; ++id) {
            const char* name = ClassManager_GetClassName(m, id);
            if (name != nullptr && (id & kClassManagerConstraintRef) == 0)
                ClassManager_FindClass(m, name);
            int32_t count = 0;
            ClassManager_GetNumMembers(m, id, &count);
            int32_t length = 0;
            for (int32_t k = 0; k < count && k < 8; ++k) {
                ClassManager_GetMemberWord(m, id, k, 0, &length);
                ClassManager_GetMemberWeight(m, id, k);
                ClassManager_GetMemberPhraseId(m, id, k);
            }
            ClassManager_GetClassTree(m, id);
        }
        const uint16_t words[2] = {5, 6};
        if (m->maxId >= 1 && ClassManager_GetClassName(m, 1) != nullptr)
            ClassManager_AddClassMember(m, ClassManager_GetClassName(m, 1), words, 2, 0, 0);
        ClassManager_AddClass(m, "added", 1, 1, 0, 0, 0, 0);
        ClassManager_AddClassMember(m, "added", words, 1, 0, 0);
        ClassManager_PrepareForRecognition(m, 0);
        const std::string path = savePath();
        if (DVKTar* out = path.empty() ? nullptr : DVKTar_OpenForWrite(path.c_str())) {
            ClassManager_WritePSAFile(m, out, nullptr);
            DVKTar_Close(out);
        }
        ClassManager_RemoveUnreferencedClasses(m);
        ClassManager_Delete(m);
    });
}
