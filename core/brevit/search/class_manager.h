// The class manager: every word class the recogniser knows. What the
// constraints need of it.
#pragma once

#include <cstdint>

struct ClassManager;

// Forgets the class's first-word index (rebuilt on use).
void ClassManager_InvalidateWordIndex(ClassManager* manager, uint32_t id);
// Members of the class; 0 for an id without members.
int32_t ClassManager_GetNumMembers(ClassManager* manager, uint32_t id);
