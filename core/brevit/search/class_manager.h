// The class manager: every word class the recogniser knows. What the
// constraints need of it.
#pragma once

#include <cstdint>

struct ClassManager;

// Forgets the class's first-word index (rebuilt on use).
void ClassManager_InvalidateWordIndex(ClassManager* manager, uint32_t id);
// count := the members of the class (0 for an id without record); 1, or 0
// when a pending edit of the class cannot be finished.
int32_t ClassManager_GetNumMembers(ClassManager* manager, uint32_t id, int32_t* count);
