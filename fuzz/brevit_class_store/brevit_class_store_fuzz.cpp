// The class manager's "bcm1" comes from a model set ("model/bcm1") and from
// user storage ("user/bcm1", its phrase index "user/bir0"): load the model
// set, read the user files into it, then take the checksum, look up every id and name, edit a class,
// write the manager out and delete it.
#include "core/brevit/lexicon/ir.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/class_manager_tables.h"
#include "core/brevit/search/class_networks.h"
#include "core/brevit/search/constraint_class.h"
#include "core/brevit/search/search_lexicon_calls.h"
#include "tests/brevit/search/fake_vocabulary.h"
#include "tests/support/fuzz_archive_image.h"
#include "tests/support/fuzz_save_path.h"
#include "tests/support/param_block_builder.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FakeVocabulary vocabulary{{{2, {1}}, {5, {2, 3}}, {6, {4}}, {7, {5, 6, 7}}, {300, {1000}}}};
    // Trees, the successor pool and large-class start lists all in play.
    static ScopedParamBlock params(ParamBlockBuilder()
                                       .word(kBrevitParamMaxTrees, 4)
                                       .word(kBrevitParamTreePronThreshold, 1)
                                       .word(kBrevitParamSuccessorPronPool, 64)
                                       .word(kBrevitParamCandidateScanMinMembers, 3));
    return fuzzArchiveImage(data, size, [&](DVKTar* tar) {
        ClassManager* m = ClassManager_LoadFromBinFile(tar, "model/", vocabulary.voc(), nullptr, nullptr);
        if (m == nullptr)
            return;
        // The engine reads the user's phrase index just before the classes
        // that link to it.
        IR* index = IR_Create(vocabulary.voc());
        if (index != nullptr)
            IR_ReadBinFile(index, tar, "user/");
        ClassManager_ReadPSAFile(m, tar, "user/", index, 1);
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
            if (ConstraintClass* c = ClassManager_GetClass(m, id)) {
                const uint16_t prons[3] = {1, 2, 1000};
                c->startListWanted = 1;
                ConstraintClass_BuildStartList(c, 3, prons, 1, vocabulary.voc());
            }
        }
        const uint16_t words[2] = {5, 6};
        if (m->maxId >= 1 && ClassManager_GetClassName(m, 1) != nullptr)
            ClassManager_AddClassMember(m, ClassManager_GetClassName(m, 1), words, 2, 0, 0);
        ClassManager_AddClass(m, "added", 1, 1, 0, 0, 0, 0);
        ClassManager_AddClassMember(m, "added", words, 1, 0, 0);
        ClassManager_CreateSuccPronIds(m);
        ClassManager_PrepareForRecognition(m, 0);
        for (uint32_t id = 1; id <= static_cast<uint32_t>(m->maxId); ++id)
            if (ClassManager_SuccPronIdsFit(m, id) != 0)
                ClassManager_FillSuccPronIds(m, Voc_GetActiveWordList(vocabulary.voc()), id);
        ClassManager_ComputeCRC(m, 1);
        const std::string path = fuzzSavePath("saved.dvk");
        if (DVKTar* out = path.empty() ? nullptr : DVKTar_OpenForWrite(path.c_str())) {
            ClassManager_WritePSAFile(m, out, nullptr);
            DVKTar_Close(out);
        }
        ClassManager_RemoveUnreferencedClasses(m);
        ClassManager_Delete(m);
        IR_Delete(index);
    });
}
