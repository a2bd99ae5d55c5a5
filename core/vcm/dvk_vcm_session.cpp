#include "core/ce/dvk_ce_dialog.h"
#include "core/vcm/dvk_vcm.h"
#include "core/vcm/dvk_vcm_internal.h"

#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_settings.h"

#include <cstring>

dvk_vcm_Session* dvk_vcm_newSession(const dvk_app_Notifications* cmdList, void* userContext,
                                    dvk_msg_Address uiThreadAddr, dvk_string_Table* stringTable,
                                    dvk_prompt_Table* promptTable, dvk_image_Table* imageTable,
                                    dvk_font_Table* fontTable, dvk_config_Manager* configManager,
                                    void* rcm, dvk_constraints_DynamicTable* dynamicTable,
                                    int32_t startPoint, int32_t /*scriptId: unused*/)
{
    DVK_ASSERT(cmdList != DVK_NULL);
    DVK_ASSERT(stringTable != DVK_NULL);
    DVK_ASSERT(imageTable != DVK_NULL);
    DVK_ASSERT(promptTable != DVK_NULL);
    DVK_ASSERT(startPoint >= 0 && startPoint <= 2);
    DVK_ASSERT(dvk_settings_getVCMBase() == 0);
    auto* vcms = static_cast<dvk_vcm_Session*>(dvk_mem_alloc(sizeof(dvk_vcm_Session)));
    if (vcms == nullptr)
        return nullptr;
    std::memset(vcms, 0, sizeof *vcms);
    vcms->cmdList = *cmdList;
    vcms->userContext = userContext;
    vcms->uiThreadAddr = uiThreadAddr;
    vcms->stringTable = stringTable;
    vcms->promptTable = promptTable;
    vcms->imageTable = imageTable;
    vcms->fontTable = fontTable;
    vcms->configManager = configManager;
    vcms->rcm = rcm;
    vcms->dynamicTable = dynamicTable;
    vcms->startPoint = startPoint;
    dvk_vcm_Module* first = nullptr;
    if (startPoint == 0)
        first = dvk_gen_vcm_newTutorial(vcms, 0);
    else if (startPoint == 1)
        first = dvk_gen_vcm_newSettings(vcms);
    else
        first = dvk_gen_vcm_newAdaptation(vcms);
    if (dvk_vcm_push(vcms, first) != 0) {
        dvk_vcm_endSession(&vcms);
        return nullptr;
    }
    return vcms;
}

dvk_vcm_Module* dvk_vcm_newVCM(dvk_vcm_Session* vcms, const dvk_vcm_Vtable* vtable,
                               const dvk_vcm_Etable* etable)
{
    DVK_ASSERT(vcms != DVK_NULL);
    DVK_ASSERT(vtable != DVK_NULL);
    auto* vcm = static_cast<dvk_vcm_Module*>(dvk_mem_alloc(sizeof(dvk_vcm_Module)));
    if (vcm == nullptr)
        return nullptr;
    std::memset(vcm, 0, sizeof *vcm);
    vcm->vtable = vtable;
    vcm->etable = etable;
    vcm->nbest = dvk_nbest_create(-1, "dict", 0);
    if (vcm->nbest == nullptr || dvk_nbest_addEntry(vcm->nbest) < 0) {
        dvk_nbest_destroy(&vcm->nbest);
        dvk_mem_dealloc(&vcm);
        return nullptr;
    }
    vcms->moduleCount++;
    return vcm;
}

void dvk_vcm_destroy(dvk_vcm_Session* vcms, dvk_vcm_Module** module)
{
    DVK_ASSERT(vcms != DVK_NULL);
    DVK_ASSERT(module != DVK_NULL);
    dvk_vcm_Module* vcm = *module;
    if (vcm == nullptr)
        return;
    if (vcm->vtable->Destructor != nullptr && vcm->context != nullptr)
        vcm->vtable->Destructor(vcm, &vcm);
    dvk_nbest_destroy(&vcm->nbest);
    dvk_mem_dealloc(&vcm);
    *module = nullptr;
    vcms->moduleCount--;
}

void dvk_vcm_defaultContextDestructor(dvk_vcm_Module* vcm, dvk_vcm_Module** /*module*/)
{
    DVK_ASSERT(vcm != DVK_NULL);
    DVK_ASSERT(vcm->context != DVK_NULL);
    dvk_mem_dealloc(&vcm->context);
}

int dvk_vcm_push(dvk_vcm_Session* vcms, dvk_vcm_Module* module)
{
    DVK_ASSERT(vcms != DVK_NULL);
    if (module == nullptr)
        return 1;
    dvk_vcm_stopTimer(vcms);
    module->next = vcms->stack;
    vcms->stack = module;
    vcms->stateSaved = 0;
    return 0;
}

dvk_vcm_Module* dvk_vcm_pop(dvk_vcm_Session* vcms)
{
    DVK_ASSERT(vcms != DVK_NULL);
    DVK_ASSERT(vcms->stack != DVK_NULL);
    dvk_vcm_stopTimer(vcms);
    dvk_vcm_Module* top = vcms->stack;
    vcms->stack = top->next;
    dvk_vcm_destroy(vcms, &top);
    vcms->stateSaved = 0;
    return vcms->stack;
}

// Frees a stack without touching the session's timer (saved copies have none).
void dvk_vcm_destroyStack(dvk_vcm_Session* vcms, dvk_vcm_Module** stack)
{
    while (*stack != nullptr) {
        dvk_vcm_Module* top = *stack;
        *stack = top->next;
        dvk_vcm_destroy(vcms, &top);
    }
}

void dvk_vcm_clearStack(dvk_vcm_Session* vcms)
{
    DVK_ASSERT(vcms != DVK_NULL);
    // A running module timer belongs to the module being dropped.
    dvk_vcm_stopTimer(vcms);
    dvk_vcm_destroyStack(vcms, &vcms->stack);
    vcms->stateSaved = 0;
}

void dvk_vcm_destroySavedChain(dvk_vcm_Session* vcms, dvk_vcm_Session** saved)
{
    while (*saved != nullptr) {
        dvk_vcm_Session* copy = *saved;
        *saved = copy->savedSession;
        // Modules of a copy are counted by the live session.
        dvk_vcm_destroyStack(vcms, &copy->stack);
        dvk_mem_dealloc(&copy);
    }
}

void dvk_vcm_endSession(dvk_vcm_Session** session)
{
    DVK_ASSERT(session != DVK_NULL);
    dvk_vcm_Session* vcms = *session;
    DVK_ASSERT(vcms != DVK_NULL);
    dvk_vcm_destroySavedChain(vcms, &vcms->savedSession);
    dvk_vcm_clearStack(vcms);
    dvk_mem_dealloc(&vcms);
    *session = nullptr;
}

void dvk_vcm_resetState(dvk_vcm_Session* vcms)
{
    DVK_ASSERT(vcms != DVK_NULL);
    dvk_vcm_destroySavedChain(vcms, &vcms->savedSession);
    vcms->stateSaved = 0;
}

// Accessors.

dvk_vcm_Module* dvk_vcm_current(dvk_vcm_Session* vcms)
{
    DVK_ASSERT(vcms != DVK_NULL);
    return vcms->stack;
}

void* dvk_vcm_currentContext(dvk_vcm_Session* vcms)
{
    DVK_ASSERT(vcms != DVK_NULL);
    DVK_ASSERT(vcms->stack != DVK_NULL);
    return vcms->stack->context;
}

const char* dvk_vcm_getCurrentName(dvk_vcm_Session* vcms)
{
    DVK_ASSERT(vcms != DVK_NULL);
    DVK_ASSERT(vcms->stack != DVK_NULL);
    return vcms->stack->vtable->name;
}

const dvk_app_Notifications* dvk_vcm_cmdList(dvk_vcm_Session* vcms)
{
    DVK_ASSERT(vcms != DVK_NULL);
    return &vcms->cmdList;
}

void* dvk_vcm_userContext(dvk_vcm_Session* vcms)
{
    DVK_ASSERT(vcms != DVK_NULL);
    return vcms->userContext;
}

dvk_msg_Address dvk_vcm_getUiThreadAddr(dvk_vcm_Session* vcms)
{
    DVK_ASSERT(vcms != DVK_NULL);
    return vcms->uiThreadAddr;
}

dvk_image_Table* dvk_vcm_imageTable(dvk_vcm_Session* vcms)
{
    DVK_ASSERT(vcms != DVK_NULL);
    return vcms->imageTable;
}

dvk_prompt_Table* dvk_vcm_promptTable(dvk_vcm_Session* vcms)
{
    DVK_ASSERT(vcms != DVK_NULL);
    return vcms->promptTable;
}

dvk_string_Table* dvk_vcm_stringTable(dvk_vcm_Session* vcms)
{
    DVK_ASSERT(vcms != DVK_NULL);
    return vcms->stringTable;
}

dvk_font_Table* dvk_vcm_fontTable(dvk_vcm_Session* vcms)
{
    DVK_ASSERT(vcms != DVK_NULL);
    DVK_ASSERT(vcms->fontTable != DVK_NULL);
    return vcms->fontTable;
}

dvk_config_Manager* dvk_vcm_configManager(dvk_vcm_Session* vcms)
{
    DVK_ASSERT(vcms != DVK_NULL);
    return vcms->configManager;
}

void* dvk_vcm_rcm(dvk_vcm_Session* vcms)
{
    DVK_ASSERT(vcms != DVK_NULL);
    return vcms->rcm;
}

dvk_constraints_DynamicTable* dvk_vcm_dynamicConstraint(dvk_vcm_Session* vcms)
{
    DVK_ASSERT(vcms != DVK_NULL);
    return vcms->dynamicTable;
}

int32_t dvk_vcm_getStartPoint(dvk_vcm_Session* vcms)
{
    DVK_ASSERT(vcms != DVK_NULL);
    return vcms->startPoint;
}

void dvk_vcm_setGateCmd(dvk_vcm_Session* vcms, int32_t gateCmd)
{
    DVK_ASSERT(vcms != DVK_NULL);
    vcms->gateCmd = gateCmd;
}

int32_t dvk_vcm_getGateCmd(dvk_vcm_Session* vcms)
{
    DVK_ASSERT(vcms != DVK_NULL);
    return vcms->gateCmd;
}

void dvk_vcm_setConfirmType(dvk_vcm_Session* vcms, int32_t confirmType)
{
    DVK_ASSERT(vcms != DVK_NULL);
    vcms->confirmType = confirmType;
}

int32_t dvk_vcm_getConfirmType(dvk_vcm_Session* vcms)
{
    DVK_ASSERT(vcms != DVK_NULL);
    return vcms->confirmType;
}

void dvk_vcm_setAlwaysAvailableReadout(dvk_vcm_Session* vcms, int32_t readout)
{
    DVK_ASSERT(vcms != DVK_NULL);
    vcms->alwaysAvailableReadout = readout;
}

int32_t dvk_vcm_getAlwaysAvailableReadout(dvk_vcm_Session* vcms)
{
    DVK_ASSERT(vcms != DVK_NULL);
    return vcms->alwaysAvailableReadout;
}

int32_t dvk_vcm_getConnectedServicesOnly(dvk_vcm_Session* vcms)
{
    DVK_ASSERT(vcms != DVK_NULL);
    return vcms->connectedServicesOnly;
}

void dvk_vcm_setAACExit(dvk_vcm_Session* vcms, int32_t exit)
{
    DVK_ASSERT(vcms != DVK_NULL);
    vcms->aacExit = exit;
}

int32_t dvk_vcm_getAACExit(dvk_vcm_Session* vcms)
{
    DVK_ASSERT(vcms != DVK_NULL);
    return vcms->aacExit;
}

int32_t dvk_vcm_musicUpdatedSuccessfully(dvk_vcm_Session*)
{
    return dvk_ce_musicUpdatedSuccessfully();
}

int32_t dvk_vcm_contactsUpdatedSuccessfully(dvk_vcm_Session*)
{
    return dvk_ce_contactsUpdatedSuccessfully();
}

void dvk_vcm_setWaitingForUpdateContactsComplete(dvk_vcm_Session*, int32_t waiting)
{
    dvk_ce_setWaitingForUpdateContactsComplete(waiting);
}

int32_t dvk_vcm_updateContactsComplete(dvk_vcm_Session*)
{
    return dvk_ce_updateContactsComplete();
}
