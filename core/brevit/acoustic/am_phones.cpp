// Phone models in context. Lookups never fail: an unknown triple answers
// 32767 (no model) or 65535 (no state), and contexts outside the phoneme
// range read as phoneme 0 wherever a table is indexed by them.
#include "core/brevit/acoustic/am_phones.h"

#include "core/brevit/acoustic/am.h"
#include "core/brevit/acoustic/am_added.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/acoustic/decision_tree.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_bits.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr int32_t kMaxStates = 64;
constexpr int32_t kSetBytes = 8;     // context sets cover phoneme ids 0..63

int32_t phonemeCount(const AM* am)
{
    return std::max(am->numPhonemes, 0);
}

// States compared for a centre: the special phoneme has its own count.
int32_t statesFor(const AM* am, uint16_t centre)
{
    const int32_t S = std::clamp(am->statesPerModel, 0, kMaxStates);
    if (centre == am->specialPhoneme && am->specialStateCount > 0)
        return std::min<int32_t>(am->specialStateCount, S);
    return S;
}

// A context outside the phoneme range indexes a table as phoneme 0.
uint32_t contextIndex(const AM* am, uint16_t p)
{
    return p < phonemeCount(am) ? p : 0;
}

const uint16_t* rowOf(const AM* am, uint32_t model)
{
    return static_cast<const uint16_t*>(am->modelToState.data) +
           static_cast<size_t>(model) * static_cast<uint32_t>(am->statesPerModel);
}

bool hasBit(const uint8_t* set, uint32_t i)
{
    // Callers pass offsets within the set they built.
    return (set[i / 8] & kDVKBitMasks[i % 8]) != 0;
}

void setBit(uint8_t* set, uint32_t i)
{
    set[i / 8] = static_cast<uint8_t>(set[i / 8] | kDVKBitMasks[i % 8]);
}

const AMContextRecord* record(const AM* am)
{
    return am->context;
}

// Distinct models of centre over every phoneme on the varying side, sorted,
// with the model for context 0 after them.
int32_t listExpansions(const AM* am, uint16_t* out, uint16_t fixed, uint16_t centre, bool right)
{
    const int32_t P = phonemeCount(am);
    int32_t count = 0;
    for (int32_t p = 0; p < P; ++p) {
        const auto v = static_cast<uint16_t>(p);
        const uint16_t m =
            right ? AM_GetTriphoneId(am, fixed, centre, v) : AM_GetTriphoneId(am, v, centre, fixed);
        if (m == kAMNoModel || std::find(out, out + count, m) != out + count)
            continue;
        out[count++] = m;
    }
    std::sort(out, out + count);
    out[count] = right ? AM_GetTriphoneId(am, fixed, centre, 0) : AM_GetTriphoneId(am, 0, centre, fixed);
    return count;
}

// The same answer from a context entry: bits in ascending model order.
int32_t listFromEntry(const AMContextRecord* r, const uint8_t* table, uint16_t centre,
                      uint16_t side, uint16_t* out)
{
    const uint8_t* entry = table + r->entryStart[centre] +
                           static_cast<size_t>(side) * r->entryBytes[centre];
    const uint32_t models = r->firstModel[centre + 1] - r->firstModel[centre];
    int32_t count = 0;
    for (uint32_t i = 0; i < models; ++i)
        if (hasBit(entry + 2, i))
            out[count++] = static_cast<uint16_t>(r->firstModel[centre] + i);
    std::memcpy(&out[count], entry, 2);
    return count;
}

bool entryUsable(const AM* am, const uint8_t* table, uint16_t centre, uint16_t side)
{
    return table != nullptr && centre < phonemeCount(am) && side < phonemeCount(am);
}

} // namespace

uint16_t AM_GetTiedStateId(const AM* am, uint16_t left, uint16_t centre, uint16_t right,
                           int32_t state)
{
    const int32_t P = phonemeCount(am);
    const int32_t S = am->statesPerModel;
    if (AM_GetNumAddedPhones(am) > 0 && centre >= P) {
        if (centre > am->addedValue2 || state < 0 || state >= S)
            return kAMNoState;
        return AM_GetAddedStateId(am, centre, state);
    }
    if (am->fullTiedTablePresent && am->fullTiedTable.data != nullptr) {
        if (centre >= P || state < 0 || state >= S)
            return kAMNoState;
        const size_t at =
            ((static_cast<size_t>(contextIndex(am, left)) * P + centre) * P +
             contextIndex(am, right)) * static_cast<size_t>(S) + static_cast<size_t>(state);
        if (at >= am->fullTiedTable.count)
            return kAMNoState;
        return static_cast<const uint16_t*>(am->fullTiedTable.data)[at];
    }
    if (am->tree != nullptr)
        return DecisionTree_GetLeaf(am->tree, left, centre, right, state);
    return kAMNoState;
}

uint16_t AM_GetTriphoneId(const AM* am, uint16_t left, uint16_t centre, uint16_t right)
{
    const int32_t P = phonemeCount(am);
    // An added centre has one model whatever its context.
    if (AM_GetNumAddedPhones(am) > 0 && centre >= P) {
        if (centre > am->addedValue2)
            return kAMNoModel;
        return static_cast<uint16_t>(AM_GetNumTrainedModels(am) + centre - am->addedValue1);
    }
    if (am->triphoneIndexPresent && am->triphoneIndex.data != nullptr) {
        if (centre >= P)
            return kAMNoModel;
        const size_t at = (static_cast<size_t>(contextIndex(am, left)) * P + centre) * P +
                          contextIndex(am, right);
        if (at >= am->triphoneIndex.count)
            return kAMNoModel;
        return static_cast<const uint16_t*>(am->triphoneIndex.data)[at];
    }
    const int32_t n = statesFor(am, centre);
    if (n < 1 || am->modelToState.data == nullptr)
        return kAMNoModel;
    uint16_t states[kMaxStates];
    for (int32_t s = 0; s < n; ++s)
        states[s] = AM_GetTiedStateId(am, left, centre, right, s);
    int32_t low = 0;
    int32_t high = am->numPhoneModels - 1;
    while (low <= high) {
        const int32_t mid = low + (high - low) / 2;
        const uint16_t* row = rowOf(am, static_cast<uint32_t>(mid));
        int32_t order = 0;
        for (int32_t s = 0; s < n && order == 0; ++s)
            order = row[s] < states[s] ? -1 : (row[s] > states[s] ? 1 : 0);
        if (order == 0)
            return static_cast<uint16_t>(mid);
        if (order < 0)
            low = mid + 1;
        else
            high = mid - 1;
    }
    return kAMNoModel;
}

uint16_t AM_ConvertPhonemesToTriphoneIds(const AM* am, const uint16_t* phonemes, int32_t n,
                                         uint16_t* out, uint16_t leftOuter, uint16_t rightOuter)
{
    if (n < 1)
        return kAMNoModel;
    for (int32_t i = n - 1; i >= 0; --i) {
        const uint16_t left = i > 0 ? phonemes[i - 1] : leftOuter;
        const uint16_t right = i + 1 < n ? phonemes[i + 1] : rightOuter;
        out[i] = AM_GetTriphoneId(am, left, phonemes[i], right);
    }
    return out[0];
}

int32_t AM_ConvertPhonemesToStateIDs(const AM* am, const uint16_t* phonemes, int32_t n,
                                     uint16_t* out, uint16_t leftOuter, uint16_t rightOuter)
{
    if (n < 1)
        return 0;
    const int32_t S = am->statesPerModel;
    int32_t written = 0;
    for (int32_t i = 0; i < n; ++i) {
        const uint16_t left = i > 0 ? phonemes[i - 1] : leftOuter;
        const uint16_t right = i + 1 < n ? phonemes[i + 1] : rightOuter;
        const uint16_t model = AM_GetTriphoneId(am, left, phonemes[i], right);
        const uint16_t* row = AM_GetModelStateIds(am, model);
        for (int32_t s = 0; s < S; ++s)
            out[written++] = row != nullptr ? row[s] : kAMNoState;
    }
    return written;
}

int32_t AM_BuildFirstModelTable(AM* am)
{
    if (am->context == nullptr) {
        am->context = static_cast<AMContextRecord*>(DVKMem_Calloc(sizeof(AMContextRecord)));
        if (am->context == nullptr)
            return 0;
    }
    AMContextRecord* r = am->context;
    if (r->firstModel != nullptr)
        return 1;
    const int32_t P = phonemeCount(am);
    // Above the phonemes start the added phones' rows.
    const int32_t M = AM_GetNumTrainedModels(am);
    auto* first =
        static_cast<uint16_t*>(DVKMem_Calloc(static_cast<uint32_t>(P + 1) * sizeof(uint16_t)));
    if (first == nullptr)
        return 0;
    for (int32_t c = 0; c <= P; ++c)
        first[c] = static_cast<uint16_t>(M);
    for (int32_t c = 0; c < P; ++c)
        for (int32_t l = 0; l < P; ++l)
            for (int32_t x = 0; x < P; ++x) {
                const uint16_t m = AM_GetTriphoneId(am, static_cast<uint16_t>(l),
                                                    static_cast<uint16_t>(c),
                                                    static_cast<uint16_t>(x));
                if (m < M)
                    first[c] = std::min(first[c], m);
            }
    // A centre without models takes an empty range before the next one.
    for (int32_t c = P - 1; c >= 0; --c)
        first[c] = std::min(first[c], first[c + 1]);
    // Context bit sets are sized by first[c + 1] - first[c]: a model outside
    // its centre's range would write past its set.
    for (int32_t c = 0; c < P; ++c)
        for (int32_t l = 0; l < P; ++l)
            for (int32_t x = 0; x < P; ++x) {
                const uint16_t m = AM_GetTriphoneId(am, static_cast<uint16_t>(l),
                                                    static_cast<uint16_t>(c),
                                                    static_cast<uint16_t>(x));
                if (m != kAMNoModel && (m < first[c] || m >= first[c + 1])) {
                    DVKMem_Free(first);
                    return 0;
                }
            }
    r->firstModel = first;
    return 1;
}

uint16_t AM_GetTriphoneCentrePhoneme(AM* am, uint16_t model)
{
    if (!AM_BuildFirstModelTable(am))
        return kAMNoPhoneme;
    const uint16_t* first = am->context->firstModel;
    const int32_t P = phonemeCount(am);
    // A model below the first centre's range is no phoneme's model.
    if (P < 1 || model >= am->numPhoneModels || model < first[0])
        return kAMNoPhoneme;
    if (model >= first[P])
        return static_cast<uint16_t>(P + model - first[P]);
    if (P < 2 || model < first[1])
        return 0;
    int32_t low = 1;
    int32_t high = P - 1;
    while (low < high) {
        const int32_t mid = (low + high + 1) / 2;
        if (first[mid] <= model)
            low = mid;
        else
            high = mid - 1;
    }
    return static_cast<uint16_t>(low);
}

void AM_ConvertTriphonesToPhonemes(AM* am, const uint16_t* models, int32_t n, uint16_t* out)
{
    for (int32_t i = 0; i < n; ++i)
        out[i] = AM_GetTriphoneCentrePhoneme(am, models[i]);
}

int32_t AM_CompareTriphoneIds(const void* a, const void* b)
{
    const uint16_t x = *static_cast<const uint16_t*>(a);
    const uint16_t y = *static_cast<const uint16_t*>(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

int32_t AM_ListRightExpansions(const AM* am, uint16_t* out, uint16_t left, uint16_t centre)
{
    return listExpansions(am, out, left, centre, true);
}

int32_t AM_ListLeftExpansions(const AM* am, uint16_t* out, uint16_t centre, uint16_t right)
{
    return listExpansions(am, out, right, centre, false);
}

int32_t AM_GetPairedPhonemes(const AM* am, uint16_t* out, uint16_t left, uint16_t centre)
{
    const AMContextRecord* r = record(am);
    if (r != nullptr && entryUsable(am, r->leftEntries, centre, left))
        return listFromEntry(r, r->leftEntries, centre, left, out);
    return AM_ListRightExpansions(am, out, left, centre);
}

int32_t AM_GetLeftPairedModels(const AM* am, uint16_t* out, uint16_t centre, uint16_t right)
{
    const AMContextRecord* r = record(am);
    if (r != nullptr && entryUsable(am, r->rightEntries, centre, right))
        return listFromEntry(r, r->rightEntries, centre, right, out);
    return AM_ListLeftExpansions(am, out, centre, right);
}

int32_t AM_ModelMatchesContext(const AM* am, uint16_t left, uint16_t centre, uint16_t right,
                               uint16_t model)
{
    const uint16_t* row = AM_GetModelStateIds(am, model);
    if (row == nullptr)
        return 0;
    const int32_t n = statesFor(am, centre);
    for (int32_t s = 0; s < n; ++s)
        if (row[s] != AM_GetTiedStateId(am, left, centre, right, s))
            return 0;
    return n > 0 ? 1 : 0;
}

int32_t AM_IsLeftContextOf(const AM* am, uint16_t left, uint16_t centre, uint16_t right,
                           uint16_t model)
{
    const AMContextRecord* r = record(am);
    if (r != nullptr && r->leftSets != nullptr && left < kSetBytes * 8 && left < phonemeCount(am) &&
        model < am->numPhoneModels)
        return hasBit(r->leftSets + static_cast<size_t>(model) * kSetBytes, left) ? 1 : 0;
    if (centre == kAMNoPhoneme)
        return model == am->silenceModelId ? 1 : 0;
    return AM_ModelMatchesContext(am, left, centre, right, model);
}

int32_t AM_IsRightContextOf(const AM* am, uint16_t left, uint16_t centre, uint16_t right,
                            uint16_t model)
{
    const AMContextRecord* r = record(am);
    if (r != nullptr && r->rightSets != nullptr && right < kSetBytes * 8 &&
        right < phonemeCount(am) && model < am->numPhoneModels)
        return hasBit(r->rightSets + static_cast<size_t>(model) * kSetBytes, right) ? 1 : 0;
    if (centre == kAMNoPhoneme)
        return model == am->silenceModelId ? 1 : 0;
    return AM_ModelMatchesContext(am, left, centre, right, model);
}

int32_t AM_TestPhonemePair(AM* am, uint16_t modelA, uint16_t modelB)
{
    const uint16_t cA = AM_GetTriphoneCentrePhoneme(am, modelA);
    const uint16_t cB = AM_GetTriphoneCentrePhoneme(am, modelB);
    if (cA == kAMNoPhoneme || cB == kAMNoPhoneme)
        return 0;
    const AMContextRecord* r = record(am);
    const int32_t P = phonemeCount(am);
    bool aFits = false;
    bool bFits = false;
    if (r != nullptr && entryUsable(am, r->rightEntries, cA, cB)) {
        const uint8_t* e = r->rightEntries + r->entryStart[cA] + size_t{cB} * r->entryBytes[cA];
        aFits = hasBit(e + 2, static_cast<uint32_t>(modelA - r->firstModel[cA]));
    } else {
        for (int32_t l = 0; l < P && !aFits; ++l)
            aFits = AM_GetTriphoneId(am, static_cast<uint16_t>(l), cA, cB) == modelA;
    }
    if (r != nullptr && entryUsable(am, r->leftEntries, cB, cA)) {
        const uint8_t* e = r->leftEntries + r->entryStart[cB] + size_t{cA} * r->entryBytes[cB];
        bFits = hasBit(e + 2, static_cast<uint32_t>(modelB - r->firstModel[cB]));
    } else {
        for (int32_t x = 0; x < P && !bFits; ++x)
            bFits = AM_GetTriphoneId(am, cA, cB, static_cast<uint16_t>(x)) == modelB;
    }
    return aFits && bFits ? 1 : 0;
}

uint16_t AM_GetPhonemeId(const AM* am, const char* name)
{
    if (name == nullptr)
        return kAMNoPhoneme;
    if (std::strcmp(name, "-") == 0)
        return kAMSilencePhoneme;
    const AMPhonemeNames& names = am->phonemeNames;
    if (names.names == nullptr)
        return kAMNoPhoneme;
    for (int32_t i = 0; i < names.count; ++i)
        if (names.names[i] != nullptr && std::strcmp(names.names[i], name) == 0)
            return static_cast<uint16_t>(i);
    return kAMNoPhoneme;
}

const char* AM_GetPhonemeName(const AM* am, uint16_t id)
{
    const AMPhonemeNames& names = am->phonemeNames;
    if (id < phonemeCount(am) && names.names != nullptr && id < names.count &&
        names.names[id] != nullptr)
        return names.names[id];
    // One buffer per thread: valid until this thread's next call.
    thread_local char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%d", static_cast<int>(id));
    return buffer;
}

void AM_GetTriphoneIdPairData(const AM* am, uint32_t* w0, uint32_t* w1, uint32_t* w2,
                              uint32_t* w3, uint32_t* w4, uint32_t* w5, uint32_t* w6,
                              int32_t* modelCount)
{
    uint32_t* outs[7] = {w0, w1, w2, w3, w4, w5, w6};
    const AMContextRecord* r = record(am);
    for (int32_t i = 0; i < 7; ++i)
        if (outs[i] != nullptr)
            *outs[i] = r != nullptr ? r->leading[i] : 0;
    if (modelCount != nullptr)
        *modelCount = am->numPhoneModels;
}

int32_t AM_InitContextTables(AM* am)
{
    const bool entries221 = BrevitParam_Word(kBrevitParamFirstModelTable) != 0;
    const bool entries223 = BrevitParam_Word(kBrevitParamCentreModelTable) != 0;
    const bool sets204 = BrevitParam_Word(kBrevitParamModelRightContexts) != 0;
    const bool sets205 = BrevitParam_Word(kBrevitParamModelLeftContexts) != 0;
    if (!entries221 && !entries223 && !sets204 && !sets205)
        return 1;
    const int32_t P = phonemeCount(am);
    const int32_t M = am->numPhoneModels;
    if ((entries221 || entries223) && !AM_BuildFirstModelTable(am))
        return 0;
    if (am->context == nullptr) {
        am->context = static_cast<AMContextRecord*>(DVKMem_Calloc(sizeof(AMContextRecord)));
        if (am->context == nullptr)
            return 0;
    }
    AMContextRecord* r = am->context;
    if (entries221 || entries223) {
        r->entryBytes = static_cast<uint32_t*>(DVKMem_Calloc(static_cast<uint32_t>(P + 1) * 4));
        r->entryStart = static_cast<uint32_t*>(DVKMem_Calloc(static_cast<uint32_t>(P + 1) * 4));
        if (r->entryBytes == nullptr || r->entryStart == nullptr)
            return 0;
        uint32_t total = 0;
        for (int32_t c = 0; c < P; ++c) {
            const uint32_t models = r->firstModel[c + 1] - r->firstModel[c];
            r->entryBytes[c] = 2 + (models + 7) / 8;
            r->entryStart[c] = total;
            total += r->entryBytes[c] * static_cast<uint32_t>(P);
        }
        for (int32_t side = 0; side < 2; ++side) {
            if (!(side == 0 ? entries221 : entries223))
                continue;
            auto* table = static_cast<uint8_t*>(DVKMem_Calloc(std::max<uint32_t>(total, 1)));
            if (table == nullptr)
                return 0;
            (side == 0 ? r->leftEntries : r->rightEntries) = table;
            for (int32_t c = 0; c < P; ++c)
                for (int32_t fixed = 0; fixed < P; ++fixed) {
                    uint8_t* e = table + r->entryStart[c] +
                                 static_cast<size_t>(fixed) * r->entryBytes[c];
                    const auto C = static_cast<uint16_t>(c);
                    const auto F = static_cast<uint16_t>(fixed);
                    const uint16_t def = side == 0 ? AM_GetTriphoneId(am, F, C, 0)
                                                   : AM_GetTriphoneId(am, 0, C, F);
                    std::memcpy(e, &def, 2);
                    for (int32_t v = 0; v < P; ++v) {
                        const auto V = static_cast<uint16_t>(v);
                        const uint16_t m = side == 0 ? AM_GetTriphoneId(am, F, C, V)
                                                     : AM_GetTriphoneId(am, V, C, F);
                        if (m != kAMNoModel)
                            setBit(e + 2, m - r->firstModel[c]);
                    }
                }
        }
    }
    // Sets cover phoneme ids up to 63: a model set beyond that is not
    // built and the lookups compute instead.
    if ((sets204 || sets205) && P <= kSetBytes * 8) {
        const uint32_t bytes = static_cast<uint32_t>(std::max(M, 1)) * kSetBytes;
        if (sets204 && (r->rightSets = static_cast<uint8_t*>(DVKMem_Calloc(bytes))) == nullptr)
            return 0;
        if (sets205 && (r->leftSets = static_cast<uint8_t*>(DVKMem_Calloc(bytes))) == nullptr)
            return 0;
        for (int32_t l = 0; l < P; ++l)
            for (int32_t c = 0; c < P; ++c)
                for (int32_t x = 0; x < P; ++x) {
                    const uint16_t m =
                        AM_GetTriphoneId(am, static_cast<uint16_t>(l), static_cast<uint16_t>(c),
                                         static_cast<uint16_t>(x));
                    if (m >= M)
                        continue;
                    if (r->rightSets != nullptr)
                        setBit(r->rightSets + size_t{m} * kSetBytes, static_cast<uint32_t>(x));
                    if (r->leftSets != nullptr)
                        setBit(r->leftSets + size_t{m} * kSetBytes, static_cast<uint32_t>(l));
                }
        // An added phone's model is chosen whatever its neighbours.
        for (int32_t m = AM_GetNumTrainedModels(am); m < M; ++m)
            for (int32_t p = 0; p < P; ++p) {
                if (r->rightSets != nullptr)
                    setBit(r->rightSets + size_t(m) * kSetBytes, static_cast<uint32_t>(p));
                if (r->leftSets != nullptr)
                    setBit(r->leftSets + size_t(m) * kSetBytes, static_cast<uint32_t>(p));
            }
    }
    return 1;
}

void AM_FreeContextTables(AM* am)
{
    AMContextRecord* r = am->context;
    if (r == nullptr)
        return;
    DVKMem_Free(r->firstModel);
    DVKMem_Free(r->entryBytes);
    DVKMem_Free(r->entryStart);
    DVKMem_Free(r->leftEntries);
    DVKMem_Free(r->rightEntries);
    DVKMem_Free(r->rightSets);
    DVKMem_Free(r->leftSets);
    DVKMem_Free(r);
    am->context = nullptr;
}
