// The two ways into the front end: a text (tokenised by the vocabulary, its
// unknown tokens added for the call) and a sequence of word ids.
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/synthesis/cep_tts_front_end_parts.h"

#include <cstring>

namespace {

constexpr int32_t kTokenCapacity = 128;

// Holds a new cursor until it is handed out; frees it otherwise (an engine
// error unwinding past included).
class HeldUnits {
public:
    HeldUnits() : m_units(static_cast<CepTTSUnits*>(DVKMem_Calloc(sizeof(CepTTSUnits)))) {}
    ~HeldUnits() { CepTTSUnits_Delete(m_units); }
    HeldUnits(const HeldUnits&) = delete;
    HeldUnits& operator=(const HeldUnits&) = delete;

    CepTTSUnits* get() const { return m_units; }
    CepTTSUnits* finished()
    {
        m_units->finished = 1;
        return release();
    }
    CepTTSUnits* release()
    {
        CepTTSUnits* units = m_units;
        m_units = nullptr;
        return units;
    }

    // Builds the tree into the cursor and hands it out; null when memory ran out.
    CepTTSUnits* build(CepTTSFrontEnd* f, int32_t n, const VocId* ids)
    {
        CepTTSUnitTree* tree = nullptr;
        const int32_t built = CepTTSFrontEnd_BuildTree(f, n, ids, &tree);
        if (built < 0)
            return nullptr;
        m_units->tree = tree;
        m_units->finished = built == 0 ? 1 : 0;
        return release();
    }

private:
    CepTTSUnits* m_units;
};

// The words this call added to the vocabulary, which go again whatever
// happens (an engine error unwinding past included).
class AddedWords {
public:
    AddedWords(Voc* voc, int32_t tokens) : m_voc(voc)
    {
        m_added = CepTTSScratch::zeroed<VocId>(tokens);
    }
    ~AddedWords()
    {
        for (int32_t k = m_addedCount - 1; k >= 0; --k) {
            int32_t freed = 0;
            Voc_RemoveWord(m_voc, m_added[k], &freed);
        }
    }
    AddedWords(const AddedWords&) = delete;
    AddedWords& operator=(const AddedWords&) = delete;

    // The id of an unknown token's text: the word the list already holds
    // (a run-time word, or one an earlier token of this call added), else a
    // word added now and remembered for removal; -1 when it cannot be added.
    VocId resolve(const uint16_t* text)
    {
        // The same look-up the add makes, which answers a word it finds as
        // if it had added it.
        const uint32_t known = MWL_GetId(m_voc->wordList, text, nullptr, 0);
        if (known != kMWLNoWord)
            return Voc_MasterIdToVocId(m_voc, known);
        VocId id = kVocNoId;
        int32_t added = 0;
        if (Voc_AddWord(m_voc, text, nullptr, nullptr, &id, &added) != 0 || id == kVocNoId)
            return kVocNoId;
        m_added[m_addedCount++] = id;
        return id;
    }

private:
    Voc* m_voc;
    VocId* m_added = nullptr;
    int32_t m_addedCount = 0;
};

} // namespace

CepTTSUnits* CepTTSFrontEnd_UnitsFromIds(CepTTSFrontEnd* f, int32_t count, const VocId* ids)
{
    HeldUnits units;
    if (units.get() == nullptr)
        return nullptr;
    if (count < 1 || ids == nullptr)
        return units.finished();
    CepTTSScratch scratch;
    auto* copy = CepTTSScratch::zeroed<VocId>(count);
    std::memcpy(copy, ids, static_cast<size_t>(count) * sizeof(VocId));
    return units.build(f, count, copy);
}

CepTTSUnits* CepTTSFrontEnd_UnitsFromText(CepTTSFrontEnd* f, const uint16_t* text)
{
    HeldUnits units;
    if (units.get() == nullptr)
        return nullptr;
    if (text == nullptr || text[0] == 0)
        return units.finished();
    CepTTSScratch scratch;
    int32_t capacity = kTokenCapacity;
    auto* ids = CepTTSScratch::zeroed<VocId>(capacity);
    auto* starts = CepTTSScratch::zeroed<int32_t>(capacity);
    auto* lengths = CepTTSScratch::zeroed<int32_t>(capacity);
    int32_t n = Voc_Tokenize(f->vocabulary, 1, text, 0, 0, capacity, ids, starts, lengths, nullptr, nullptr);
    if (n > capacity) {
        capacity = n;
        ids = CepTTSScratch::zeroed<VocId>(capacity);
        starts = CepTTSScratch::zeroed<int32_t>(capacity);
        lengths = CepTTSScratch::zeroed<int32_t>(capacity);
        n = Voc_Tokenize(f->vocabulary, 1, text, 0, 0, capacity, ids, starts, lengths, nullptr, nullptr);
    }
    n = n > capacity ? capacity : n;
    if (n < 1)
        return units.finished();
    AddedWords added(f->vocabulary, n);
    int32_t known = 0;
    for (int32_t k = 0; k < n; ++k) {
        if (ids[k] == kVocNoId && lengths[k] > 0) {
            auto* word = CepTTSScratch::zeroed<uint16_t>(int64_t{lengths[k]} + 1);
            std::memcpy(word, text + starts[k], static_cast<size_t>(lengths[k]) * 2);
            ids[k] = added.resolve(word);
        }
        if (ids[k] != kVocNoId)
            ++known;
    }
    if (known == 0)
        return units.finished();
    return units.build(f, n, ids);
}
