// Until the word graph is built, nothing builds or copies one (this decoder
// holds none, so nothing reaches these).
#include "core/brevit/search/search_framework_calls.h"

int32_t WordGraph_Build(WordGraph*, int32_t, int32_t, int32_t*) { return 0; }
WordGraph* WordGraph_Clone(WordGraph*) { return nullptr; }
