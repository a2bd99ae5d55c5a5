// What the engine object calls of the acoustic models: the object holds up
// to four models and never looks inside them.
#pragma once

struct AM;

// Frees a model; null is ignored.
void AM_Destroy(AM* model);
