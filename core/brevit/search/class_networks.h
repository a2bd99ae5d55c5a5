// Class networks: generated class names and the member runs the class-pair
// walks start from.
#pragma once

#include <cstdint>

struct ClassManager;

// A generated base name: a blank, eight lowercase letters and a terminator.
inline constexpr int32_t kClassBaseNameLength = 9;

// Advances an odometer base name: the last letter steps, 'z' wraps to 'a'
// carrying into the letter before it; eight z's become eight a's.
void ClassManager_StepBaseName(char* name);
// The process-wide base name after one step, skipping any base name that a
// class name of the manager (when given) starts with: generated names come
// back from storage while the odometer restarts with the process.
const char* ClassManager_NextVarBaseName(const ClassManager* manager);
// 1 when name is a blank and eight characters none above 'z'; 0 for a
// shorter name.
int32_t ClassManager_IsGeneratedClassName(const char* name);
// The run of members of class id whose first word is the pron's word: its
// first member, its length and whether a member of it is a single word. 0
// when the class has no record or no such member (the outputs then say an
// empty run at the lower bound).
int32_t ClassManager_FindMembersStartingWithPron(ClassManager* manager, uint32_t id, uint16_t pronId,
                                                 int32_t* firstMember, int32_t* runLength, int32_t* hasSingleWord);
