// A class-pair record comes back from user storage: read it in the manager's
// form (sub-file "cpm") and in the constraint file's form ("cpn") against a
// class manager of twelve word classes and an alias, then check it, take its
// checksum, ask every by-id query over every class, and delete it.
#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/class_pair_constraint.h"
#include "tests/brevit/search/fake_vocabulary.h"
#include "tests/support/fuzz_archive_image.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

void exercise(Constraint* con, ClassManager* cm)
{
    if (con == nullptr)
        return;
    ClassPairConstraint_Check(con);
    ClassPairConstraint_ComputeCRC(con, 0);
    std::vector<uint32_t> out(static_cast<size_t>(ClassPairConstraint_GetNumClasses(con)) + 1);
    int32_t a = 0, b = 0, c = 0, d = 0;
    ClassPairConstraint_GetInfo(con, &a, &b, &c, &d);
    for (uint32_t from = 0; from <= static_cast<uint32_t>(cm->maxId) + 1; ++from) {
        ClassPairConstraint_GetSuccessors(con, from, out.data());
        ClassPairConstraint_GetPredecessors(con, from, out.data());
        ClassPairConstraint_GetEndScore(con, from, 0, 0, 0);
        for (uint32_t to = 0; to <= static_cast<uint32_t>(cm->maxId) + 1; ++to)
            ClassPairConstraint_GetTransitionScoreByIds(con, from, to);
    }
    ClassPairConstraint_IsSimple(con);
    ClassPairConstraint_HasOptionalEnding(con);
    ClassPairConstraint_AddTransition(con, 1, 2, 0);
    ClassPairConstraint_Delete(con, 0);
}

void readForm(DVKTar* tar, const char* tag, ClassManager* cm, bool constraintFile)
{
    BinFileReader* reader = BinFileReader_Create(tar, tag, nullptr);
    if (reader == nullptr)
        return;
    Constraint* con = constraintFile ? ClassPairConstraint_ReadFromConstraintFile(reader, cm)
                                     : ClassPairConstraint_ReadFromBinFile(reader, cm);
    BinFileReader_Delete(reader);
    exercise(con, cm);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FakeVocabulary vocabulary{{{5, {1}}, {7, {2}}}};
    return fuzzArchiveImage(data, size, [&](DVKTar* tar) {
        ClassManager* cm = ClassManager_Create(vocabulary.voc(), nullptr, nullptr, 16);
        if (cm == nullptr)
            return;
        for (int i = 1; i <= 12; ++i) {
            const std::string name = "k" + std::to_string(i);
            ClassManager_AddClass(cm, name.c_str(), 2, 2, 0, 0, 0, 0);
            // Held for the whole input, so deleting a constraint never removes a class.
            ClassManager_AddRef(cm, static_cast<uint32_t>(ClassManager_FindClass(cm, name.c_str())));
        }
        ClassManager_AddAlias(cm, "alias", 3);
        readForm(tar, "cpm", cm, false);
        readForm(tar, "cpn", cm, true);
        ClassManager_Delete(cm);
    });
}
