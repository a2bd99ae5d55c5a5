// The constraint stores come back from user storage: read "bcm0" into a
// fresh manager (with the scripted kind's readers and with the kinds' own)
// and ask it everything a caller could, then load "bcn0" for
// array sizes around its limits, and give everything back.
#include "core/brevit/search/constraint.h"
#include "core/brevit/search/constraint_manager.h"
#include "core/brevit/search/constraint_kind_doubles.h"
#include "tests/brevit/search/fake_vocabulary.h"
#include "tests/brevit/search/scripted_constraint.h"
#include "tests/support/fuzz_archive_image.h"

#include <array>
#include <cstdint>
#include <map>
#include <vector>

namespace {

constexpr uint32_t kClassReferences = 0x3FFFFFFFu;
constexpr uint32_t kMaxHolds = 64;

// A whole-vocabulary constraint read: every successor from the start and
// after a word, restricted or not.
void walk(Constraint* con)
{
    if (con == nullptr || con->type != kConstraintTypeWholeVocabulary)
        return;
    for (const uint16_t previous : {kConstraintSilencePron, uint16_t{1}})
        for (const uint16_t restrict : {kConstraintNoPron, uint16_t{3}, uint16_t{2}}) {
            ConstraintIterator it;
            Constraint_IteratorInit(con, &it, previous, 0, Constraint_MakeStartActiveId(1), restrict);
            ConstraintSuccessor s{};
            for (int steps = 0; steps < 16 && Constraint_IteratorNext(con, &it, &s) != 0; ++steps) {
            }
        }
}

void managerStore(DVKTar* tar, Voc* vocabulary)
{
    ConstraintManager* m = ConstraintManager_Create(1);
    if (m == nullptr)
        return;
    if (ConstraintManager_ReadPSAFile(m, tar, nullptr, vocabulary, nullptr) != 0) {
        ConstraintManager_ComputeCRC(m);
        ConstraintManager_FindByName(m, "scripted");
        for (int32_t i = -1; i <= m->highest + 1; ++i) {
            walk(ConstraintManager_GetConstraint(m, i));
            ConstraintManager_IsUnreferenced(m, i);
            if (ConstraintManager_AddReference(m, i) != 0)
                ConstraintManager_RemoveReference(m, i);
        }
        // The class side that held references is not here: drop its holds
        // as many times as each entry counts them (a stored count is cut to
        // a few first, so that an input cannot make the drop take minutes).
        for (int32_t i = 0; i <= m->highest; ++i) {
            const int32_t page = i >> kConstraintManagerPageShift;
            if (ConstraintManager_GetConstraint(m, i) == nullptr)
                continue;
            uint32_t& word = static_cast<uint32_t*>(m->references[page])[i & 255];
            if ((word & kClassReferences) > kMaxHolds)
                word = (word & ~kClassReferences) | kMaxHolds;
            for (uint32_t holds = word & kClassReferences; holds > 0; --holds)
                ConstraintManager_RemoveReference(m, i);
        }
        ConstraintManager_ReleaseConstraint(m, 0);
    }
    ConstraintManager_Delete(m);
}

void constraintFile(DVKTar* tar, int32_t n)
{
    std::array<Constraint*, 1025> array{};
    Constraint_LoadFromBinFile(tar, nullptr, nullptr, array.data(), n);
    for (Constraint* con : array)
        Constraint_Delete(con, 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static ScriptedKinds kinds;
    static FakeVocabulary words(std::map<uint16_t, std::vector<uint16_t>>{{7, {0, 1}}, {8, {3, 4}}});
    scriptedCalls().log.clear();
    return fuzzArchiveImage(data, size, [&](DVKTar* tar) {
        managerStore(tar, words.voc());
        // And with the kinds' own readers: whole-vocabulary records are real,
        // class-pair records have no class manager to be read against.
        const ConstraintKindDoubles* scripted = ConstraintKinds_InstallDoubles(nullptr);
        managerStore(tar, words.voc());
        ConstraintKinds_InstallDoubles(scripted);
        for (int32_t n : {0, 1, 4, 1024, 1025})
            constraintFile(tar, n);
        // And one size 0..1,025 chosen by the input's last bytes.
        if (size >= 2)
            constraintFile(tar, (data[size - 1] | data[size - 2] << 8) % 1026);
    });
}
