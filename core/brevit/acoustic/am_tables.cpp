// Tables made after loading: the full tables are checked against the
// phoneme and state counts they are indexed by, then the context record is
// built as the global parameter words ask.
#include "core/brevit/acoustic/am.h"

#include "core/brevit/acoustic/am_phones.h"
#include "core/brevit/acoustic/decision_tree.h"

#include <algorithm>

namespace {

// A full table indexed by phoneme triples must hold exactly P^3 rows and
// name only states (or models) the model has; 32767 marks no model.
bool fullTablesFit(const AM* am)
{
    const uint64_t P = static_cast<uint64_t>(std::max(am->numPhonemes, 0));
    const uint64_t cube = P * P * P;
    if (am->fullTiedTablePresent) {
        const AMArray& t = am->fullTiedTable;
        if (t.count != cube * static_cast<uint64_t>(std::max(am->statesPerModel, 0)))
            return false;
        for (uint32_t i = 0; i < t.count; ++i)
            if (static_cast<const uint16_t*>(t.data)[i] >= am->numStates)
                return false;
    }
    if (am->triphoneIndexPresent) {
        const AMArray& t = am->triphoneIndex;
        if (t.count != cube)
            return false;
        for (uint32_t i = 0; i < t.count; ++i) {
            const uint16_t m = static_cast<const uint16_t*>(t.data)[i];
            if (m != kAMNoModel && m >= am->numPhoneModels)
                return false;
        }
    }
    return true;
}

} // namespace

int32_t AM_InitTables(AM* am)
{
    if (!fullTablesFit(am))
        return 0;
    return AM_InitContextTables(am);
}

uint16_t AM_GetTiedStateByFeatures(const AM* am, const uint8_t* features, int32_t length,
                                   int32_t position)
{
    if (am->tree == nullptr)
        return kAMNoState;
    return DecisionTree_GetLeafByContext(am->tree, features, length, position);
}
