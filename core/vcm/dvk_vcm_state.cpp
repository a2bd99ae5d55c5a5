#include "core/vcm/dvk_vcm.h"
#include "core/vcm/dvk_vcm_internal.h"

#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"

#include <cstring>

namespace {

// A module of the same tables with the n-best and (when it has one) a copy of
// the context; null on failure.
dvk_vcm_Module* copyModule(dvk_vcm_Session* vcms, dvk_vcm_Module* vcm)
{
    dvk_vcm_Module* copy = dvk_vcm_newVCM(vcms, vcm->vtable, vcm->etable);
    if (copy == nullptr)
        return nullptr;
    copy->state = vcm->state;
    bool failed = dvk_nbest_getCount(vcm->nbest) > 0 && dvk_nbest_update(copy->nbest, 0, vcm->nbest, 0) != 0;
    if (!failed && vcm->context != nullptr && vcm->vtable->copyContext != nullptr) {
        copy->context = vcm->vtable->copyContext(vcm->context);
        failed = copy->context == nullptr;
    }
    if (failed)
        dvk_vcm_destroy(vcms, &copy);
    return copy;
}

}  // namespace

int dvk_vcm_saveState(dvk_vcm_Session* vcms)
{
    DVK_ASSERT(vcms != DVK_NULL);
    if (vcms->stack != nullptr)
        DVK_ASSERT((vcms->stack->context != DVK_NULL) == (vcms->stack->vtable->copyContext != DVK_NULL));
    auto* copy = static_cast<dvk_vcm_Session*>(dvk_mem_alloc(sizeof(dvk_vcm_Session)));
    if (copy == nullptr)
        return 1;
    std::memcpy(copy, vcms, sizeof *copy);
    copy->stack = nullptr;
    copy->timerRunning = 0;
    // Built bottom-up order preserved: link each copy below the previous one.
    dvk_vcm_Module** tail = &copy->stack;
    for (dvk_vcm_Module* vcm = vcms->stack; vcm != nullptr; vcm = vcm->next) {
        dvk_vcm_Module* module = copyModule(vcms, vcm);
        if (module == nullptr) {
            dvk_vcm_destroyStack(vcms, &copy->stack);
            dvk_mem_dealloc(&copy);
            return 1;
        }
        *tail = module;
        tail = &module->next;
    }
    vcms->savedSession = copy;
    vcms->stateSaved = 1;
    return 0;
}

int dvk_vcm_pushAndSave(dvk_vcm_Session* vcms, dvk_vcm_Module* module)
{
    if (dvk_vcm_push(vcms, module) != 0)
        return 1;
    return dvk_vcm_saveState(vcms);
}

int32_t dvk_vcm_savedStateExists(dvk_vcm_Session* vcms)
{
    DVK_ASSERT(vcms != DVK_NULL);
    return vcms->savedSession != nullptr ? 1 : 0;
}

int dvk_vcm_revertState(dvk_vcm_Session* vcms)
{
    DVK_ASSERT(vcms != DVK_NULL);
    DVK_ASSERT(vcms->savedSession != DVK_NULL);
    if (vcms->stateSaved != 0) {
        // The newest copy is the current state: back means the one before.
        dvk_vcm_Session* newest = vcms->savedSession;
        vcms->savedSession = newest->savedSession;
        newest->savedSession = nullptr;
        dvk_vcm_destroySavedChain(vcms, &newest);
    }
    dvk_vcm_clearStack(vcms);
    dvk_vcm_Session* chosen = vcms->savedSession;
    if (chosen == nullptr)
        return 0;
    // The session keeps its address: the copy's stack, chain and words move in.
    dvk_vcm_Session live = *vcms;
    *vcms = *chosen;
    vcms->moduleCount = live.moduleCount;
    vcms->timerRunning = 0;
    vcms->stateSaved = 0;
    dvk_mem_dealloc(&chosen);
    return dvk_vcm_saveState(vcms);
}

int dvk_vcm_updateSavedState(dvk_vcm_Session* vcms)
{
    DVK_ASSERT(vcms != DVK_NULL);
    dvk_vcm_Module* current = vcms->stack;
    dvk_vcm_Session* saved = vcms->savedSession;
    if (current == nullptr || saved == nullptr || saved->stack == nullptr)
        return 0;
    dvk_vcm_Module* old = saved->stack;
    if (current->vtable->copyContext == nullptr || old->vtable->copyContext == nullptr ||
        current->context == nullptr)
        return 0;
    void* context = current->vtable->copyContext(current->context);
    if (context == nullptr)
        return 1;
    if (old->context != nullptr && old->vtable->Destructor != nullptr)
        old->vtable->Destructor(old, &old);
    old->context = context;
    return 0;
}
