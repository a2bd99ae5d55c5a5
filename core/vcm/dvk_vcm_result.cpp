#include "core/vcm/dvk_vcm.h"
#include "core/vcm/dvk_vcm_internal.h"

#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_pbook.h"
#include "sdk/common/dvk_settings.h"

namespace {

enum : int32_t {
    SLOT_AA_GENERIC = 2,
    SLOT_AA_CARRIER = 3,
    SLOT_LOCATION = 15,
    SLOT_NAME = 20,
};

// Phrases of the always-available grammar, in the order they are compared.
const struct {
    int32_t stringId;
    dvk_ui_Event event;
} kPhrases[] = {
    {2, DVK_UI_EVENT_BACK},     {53, DVK_UI_EVENT_REPEAT},  {8, DVK_UI_EVENT_CANCEL},
    {55, DVK_UI_EVENT_RESTART}, {16, DVK_UI_EVENT_EXIT},    {50, 25},
    {20, DVK_UI_EVENT_HELP},    {22, 26},                   {91, DVK_UI_EVENT_HELP},
    {82, DVK_UI_EVENT_BACK},    {75, DVK_UI_EVENT_RESTART}, {54, DVK_UI_EVENT_RESTART},
    {77, DVK_UI_EVENT_EXIT},
};

int32_t constraintId(dvk_nbest_List* nbest)
{
    const char* name = nullptr;
    return dvk_nbest_getConstraint(nbest, &name);
}

bool isNameResult(int32_t id)
{
    return id == 0 || id == 2 || id == 6 || id == 33 || id == 49 || id == 50;
}

bool sameText(const dvk_ucs2_Char* a, const dvk_ucs2_Char* b)
{
    return a != nullptr && b != nullptr && dvk_ucs2_strcmp(a, b) == 0;
}

void chopNBest(dvk_nbest_List* nbest)
{
    if (dvk_nbest_getCount(nbest) < 3)
        return;
    const dvk_ucs2_Char* n0 = dvk_nbest_getStr(nbest, 0, SLOT_NAME);
    const dvk_ucs2_Char* n1 = dvk_nbest_getStr(nbest, 1, SLOT_NAME);
    const dvk_ucs2_Char* n2 = dvk_nbest_getStr(nbest, 2, SLOT_NAME);
    if (n0 == nullptr || n1 == nullptr || n2 == nullptr)
        return;
    dvk_nbest_chop(nbest, sameText(n2, n0) || sameText(n2, n1) ? 2 : 3);
}

int32_t topCount(dvk_nbest_List* nbest)
{
    return dvk_nbest_getCount(nbest) < 3 ? dvk_nbest_getCount(nbest) : 3;
}

// The call type the current command dials with.
int32_t callTypeOf(int32_t gateCmd)
{
    return gateCmd == 13 ? 3 : gateCmd == 1 ? 1 : 2;
}

// A name said once with a location and once without, for a contact with a
// single number of the call type: the later of the two goes, and the kept
// one loses a location the contact has no number at. One such merge at
// most. -1 when memory is short, else 0.
int mergeSameNames(dvk_vcm_Session* vcms, dvk_nbest_List* nbest)
{
    const int32_t callType = callTypeOf(vcms->gateCmd);
    const int32_t top = topCount(nbest);
    for (int32_t i = 0; i + 1 < top; i++) {
        const dvk_ucs2_Char* name = dvk_nbest_getStr(nbest, i, SLOT_NAME);
        if (name == nullptr)
            continue;
        dvk_pbook_Entry* merged = nullptr;
        if (dvk_pbook_getMergedEntry(name, dvk_nbest_getSpokenForm(nbest, i, SLOT_NAME), nullptr, &merged) < 0)
            return -1;
        if (merged == nullptr)
            continue;
        int32_t bare = -1, located = -1, bareCount = 0, locatedCount = 0;
        if (dvk_pbook_filterByCallType(merged, callType) == 1) {
            for (int32_t k = 0; k < top; k++) {
                if (!sameText(name, dvk_nbest_getStr(nbest, k, SLOT_NAME)))
                    continue;
                if (dvk_nbest_getStr(nbest, k, SLOT_LOCATION) == nullptr) {
                    bare = k;
                    bareCount++;
                } else {
                    located = k;
                    locatedCount++;
                }
            }
        }
        const bool merge = bareCount == 1 && locatedCount == 1;
        if (merge) {
            const int32_t kept = bare < located ? bare : located;
            dvk_nbest_deleteEntry(nbest, bare < located ? located : bare);
            const dvk_ucs2_Char* location = dvk_nbest_getStr(nbest, kept, SLOT_LOCATION);
            if (location != nullptr && dvk_pbook_filterByLocation(merged, location) == 0)
                dvk_nbest_removeValue(nbest, kept, SLOT_LOCATION);
        }
        dvk_pbook_destroyEntry(&merged);
        if (merge) {
            chopNBest(nbest);
            return 0;
        }
    }
    return 0;
}

bool containsOne(const dvk_ucs2_Char* s)
{
    return dvk_ucs2_strchr(s, u'1') != nullptr;
}

// A numbered location ("Mobile 1") and the same one without the number: the
// later of the two entries goes.
void dropLocationDuplicates(dvk_nbest_List* nbest)
{
    const int32_t top = topCount(nbest);
    for (int32_t p = 0; p < top; p++) {
        const dvk_ucs2_Char* pName = dvk_nbest_getStr(nbest, p, SLOT_NAME);
        const dvk_ucs2_Char* pLoc = dvk_nbest_getStr(nbest, p, SLOT_LOCATION);
        if (pName == nullptr || pLoc == nullptr)
            continue;
        for (int32_t k = p + 1; k < top; k++) {
            const dvk_ucs2_Char* kLoc = dvk_nbest_getStr(nbest, k, SLOT_LOCATION);
            if (!sameText(pName, dvk_nbest_getStr(nbest, k, SLOT_NAME)) || kLoc == nullptr)
                continue;
            if ((containsOne(pLoc) && dvk_ucs2_strstr(pLoc, kLoc) != nullptr) ||
                (containsOne(kLoc) && dvk_ucs2_strstr(kLoc, pLoc) != nullptr)) {
                dvk_nbest_deleteEntry(nbest, k);
                chopNBest(nbest);
                return;
            }
        }
    }
}

// 1 when the result was an always-available phrase (handled here, *result
// set), 0 when it goes on to the module.
int alwaysAvailable(dvk_vcm_Session* vcms, dvk_nbest_List** nbest, int* result)
{
    int32_t base = dvk_settings_getVCMBase();
    int32_t id = constraintId(*nbest);
    int32_t slot;
    if ((base == 0 || base == 2) && id == 38)
        slot = SLOT_AA_GENERIC;
    else if ((base == 1 || base == 3) && id == 47)
        slot = SLOT_AA_CARRIER;
    else
        return 0;
    const dvk_ucs2_Char* phrase =
        dvk_nbest_getCount(*nbest) > 0 ? dvk_nbest_getStr(*nbest, 0, slot) : nullptr;
    for (const auto& entry : kPhrases) {
        if (phrase == nullptr || dvk_string_compareString(vcms->stringTable, entry.stringId, phrase) != 0)
            continue;
        dvk_nbest_destroy(nbest);
        if (vcms->stateSaved != 0 && dvk_vcm_updateSavedState(vcms) != 0) {
            *result = 1;
            return 1;
        }
        *result = dvk_vcm_push(vcms, dvk_gen_vcm_newAlwaysAvailableCmd(vcms, entry.event, entry.stringId,
                                                                     vcms->stateSaved));
        return 1;
    }
    dvk_nbest_destroy(nbest);
    *result = 1;
    return 1;
}

}  // namespace

int dvk_vcm_handleResult(dvk_vcm_Session* vcms, dvk_nbest_List* nbest, dvk_msg_Message** message)
{
    DVK_ASSERT(vcms != DVK_NULL);
    DVK_ASSERT(vcms->stack != DVK_NULL);
    DVK_ASSERT(message != DVK_NULL);
    if (nbest != nullptr) {
        int result = 0;
        if (alwaysAvailable(vcms, &nbest, &result) != 0)
            return result;
        if (isNameResult(constraintId(nbest)) && dvk_nbest_getCount(nbest) > 1) {
            if (mergeSameNames(vcms, nbest) != 0) {
                dvk_nbest_destroy(&nbest);
                return 1;
            }
            if (dvk_nbest_getCount(nbest) > 1)
                dropLocationDuplicates(nbest);
        }
        if (dvk_nbest_getCount(nbest) == 0)
            dvk_nbest_destroy(&nbest);
    }
    dvk_vcm_Module* vcm = vcms->stack;
    vcm->state++;
    *message = nullptr;
    DVK_ASSERT(vcm->vtable->handleResult != ((void *)0));
    return vcm->vtable->handleResult(vcms, nbest, message, 0);
}
