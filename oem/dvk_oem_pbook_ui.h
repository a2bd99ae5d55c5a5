// The phonebook's one UI request: before a grammar update decision the UI
// leaves any state (UI function table slot 14). In a file of its own, so a
// fake phonebook family never drags the real one in through the UI seam.
#pragma once

// On "UI"; the argument is unused.
void dvkOemPbookToNeither(void*);
