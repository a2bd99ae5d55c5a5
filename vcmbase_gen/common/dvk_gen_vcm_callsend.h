// What the call and send commands share: their two flags (a location choice
// was offered, the user was asked again), the questions they push, the
// contact's numbers of a call type, and the end of their result handling.
#pragma once

#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "sdk/common/dvk_pbook.h"

struct dvk_gen_vcm_CommandFlags {
    int32_t locationChoice;
    int32_t askedAgain;
};

// A command module whose context is the two flags, both 0; NULL when memory
// is short.
dvk_vcm_Module* dvk_gen_vcm_newFlagsCommand(dvk_vcm_Session* vcms, const dvk_vcm_Vtable* vtable,
                                            const dvk_vcm_Etable* etable);
void* dvk_gen_vcm_copyCommandFlags(void* context);
// The flags of the command on top.
dvk_gen_vcm_CommandFlags* dvk_gen_vcm_commandFlags(dvk_vcm_Session* vcms);

// Sets the asked-again flag and pushes the name-or-number question, state
// saved.
int dvk_gen_vcm_askNameOrNumber(dvk_vcm_Session* vcms);
// Clears the stack and pushes the no-locations state (feature 62 chooses the
// one that does not listen) for the name.
int dvk_gen_vcm_noLocations(dvk_vcm_Session* vcms, const dvk_ucs2_Char* name, const uint32_t* wordIds,
                            int32_t wordIdCount);
// Pushes the no-contacts state over the command (feature 64 chooses the one
// that does not listen).
int dvk_gen_vcm_pushNoContacts(dvk_vcm_Session* vcms);
// The contact's merged entry keeping the numbers of the call type (0 keeps
// every number); 1 on failure, *entry NULL when there is no such contact.
int dvk_gen_vcm_contactEntry(const dvk_ucs2_Char* name, int32_t callType, dvk_pbook_Entry** entry);
// Sets both flags and pushes, state saved, the choice among the entry's
// numbers: the single one when a location was said and fewer than two
// numbers remain, else the list.
int dvk_gen_vcm_offerLocations(dvk_vcm_Session* vcms, dvk_pbook_Entry* entry, const dvk_ucs2_Char* saidLocation,
                               const uint32_t* wordIds, int32_t wordIdCount, int32_t noSuchType,
                               int32_t severalAtLocation);
// How a command takes a result. The first filter rule whose slots the first
// entry holds drops every later entry holding one of the rule's other
// slots (a name heard first makes later digits noise, and so on); a rule
// list ends with an empty first slot. The confirmation rules are tried in
// order, each only when the first entry holds its slot; a list of them
// ends with slot 0.
struct dvk_gen_vcm_FilterRule {
    int32_t firstHolds[3];
    dvk_gen_vcm_SlotSet drop;
};
struct dvk_gen_vcm_ConfirmRule {
    int32_t slot;
    int32_t (*need)(dvk_nbest_List* list);
};
struct dvk_gen_vcm_ResultRules {
    const dvk_gen_vcm_FilterRule* filters;
    const dvk_gen_vcm_ConfirmRule* confirms;
    int32_t keep;  // entries kept after filtering; 0 keeps them all
};
// Filters the list, logs it and cuts it to the entries kept; whether the
// result now needs confirmation.
bool dvk_gen_vcm_applyResultRules(dvk_nbest_List* list, const dvk_gen_vcm_ResultRules* rules);

// The end of a command's result handling: the confirmation (state saved)
// when asked for, else the command's Completion on entry 0; the list
// destroyed either way.
int dvk_gen_vcm_confirmOrComplete(dvk_vcm_Session* vcms, dvk_nbest_List* list, bool confirm,
                                  dvk_msg_Message** message);
