// A class-pair record comes back from user storage: read it in the manager's
// form (sub-file "cpm") and in the constraint file's form ("cpn") against a
// class manager of twelve word classes and an alias, then check it, take its
// checksum, ask every by-id query over every class, walk it three words deep
// with the plain and the cached iterator and in batches (all three must offer
// the same successors at a class end), check that every whole path walked is
// a legal ending, and delete it.
#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/search/class_networks.h"
#include "core/brevit/search/class_pair_constraint.h"
#include "core/brevit/search/class_pair_search.h"
#include "tests/brevit/search/fake_vocabulary.h"
#include "tests/support/fuzz_archive_image.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <tuple>
#include <string>
#include <vector>

namespace {

using Offer = std::tuple<uint16_t, ActiveId, uint32_t, uint16_t>;

std::vector<Offer> offers(Constraint* con, uint16_t previous, ActiveId id, bool cached)
{
    ConstraintIterator it;
    ClassPairConstraint_PrepareIterator(con, &it);
    if (cached)
        CCCache_IteratorInit(con, &it, previous, 0, id, kConstraintNoPron);
    else
        ClassPairConstraint_IteratorInit(con, &it, previous, 0, id, kConstraintNoPron);
    std::vector<Offer> out;
    ConstraintSuccessor s{};
    while (out.size() < 64 && (cached ? CCCache_IteratorNext(&it, con, &s) : ClassPairConstraint_IteratorNext(&it, con, &s)) != 0)
        out.emplace_back(s.member, s.next, s.final, s.score);
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<Offer> batch(Constraint* con, uint16_t previous, ActiveId id)
{
    static const uint16_t kCandidates[] = {1, 2, 3};
    std::vector<ConstraintSuccessor> records(64);
    ClassPairSuccessorRequest request{3, kCandidates, 64, records.data()};
    const int32_t n = std::min(ClassPairConstraint_ExpandSuccessors(con, previous, 0, id, &request), 64);
    std::vector<Offer> out;
    for (int32_t k = 0; k < n; ++k)
        out.emplace_back(records[k].member, records[k].next, records[k].final, records[k].score);
    std::sort(out.begin(), out.end());
    return out;
}

void walk(Constraint* con, uint16_t previous, ActiveId id, std::vector<uint16_t>& spoken)
{
    const std::vector<Offer> plain = offers(con, previous, id, false);
    if (plain.size() < 64) {
        if (batch(con, previous, id) != plain)
            std::abort();   // the batch form disagrees with the iterator
        if (previous != kConstraintSilencePron && offers(con, previous, id, true) != plain)
            std::abort();   // the cached walk disagrees with the plain one
    }
    for (const auto& [pron, next, final, score] : plain) {
        spoken.push_back(pron);
        if (final != 0) {
            std::vector<uint16_t> latestFirst(spoken.rbegin(), spoken.rend());
            if (ClassPairConstraint_IsLegalPronEndingReverse(con, latestFirst.data(),
                                                             static_cast<int32_t>(latestFirst.size())) == 0)
                std::abort();   // a whole path is not a legal ending
        }
        if (spoken.size() < 3)
            walk(con, pron, next, spoken);
        spoken.pop_back();
    }
}

void exercise(Constraint* con, ClassManager* cm)
{
    if (con == nullptr)
        return;
    if (ClassPairConstraint_HasConstraintClasses(con) == 0) {
        std::vector<uint16_t> spoken;
        walk(con, kConstraintSilencePron, Constraint_MakeStartActiveId(0), spoken);
        ClassPairConstraint_FreeActiveIdTable(con);
    }
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
    static FakeVocabulary vocabulary{{{5, {1}}, {7, {2}}, {9, {3}}}};
    // The successor pool of the cached walk.
    static BrevitGlobalParameters params = [] {
        BrevitGlobalParameters p{};
        p.words[kBrevitParamSuccessorPronPool] = 64;
        return p;
    }();
    gpBrevitGlobalParameters = &params;
    return fuzzArchiveImage(data, size, [&](DVKTar* tar) {
        ClassManager* cm = ClassManager_Create(vocabulary.voc(), nullptr, nullptr, 16);
        if (cm == nullptr)
            return;
        for (int i = 1; i <= 12; ++i) {
            const std::string name = "k" + std::to_string(i);
            ClassManager_AddClass(cm, name.c_str(), 2, 2, 0, 0, 0, 0);
            // Members of words 5, 7 and 9: single words and pairs sharing a first word.
            const uint16_t words[3] = {5, 7, 9};
            const uint16_t single[1] = {words[i % 3]};
            const uint16_t pair[2] = {words[i % 3], words[(i + 1) % 3]};
            ClassManager_AddClassMember(cm, name.c_str(), single, 1, 0, 0);
            ClassManager_AddClassMember(cm, name.c_str(), pair, 2, 0, 0);
            // Held for the whole input, so deleting a constraint never removes a class.
            ClassManager_AddRef(cm, static_cast<uint32_t>(ClassManager_FindClass(cm, name.c_str())));
        }
        ClassManager_FinishEdit(cm);
        ClassManager_AddAlias(cm, "alias", 3);
        ClassManager_CreateSuccPronIds(cm);
        readForm(tar, "cpm", cm, false);
        readForm(tar, "cpn", cm, true);
        ClassManager_Delete(cm);
    });
}
