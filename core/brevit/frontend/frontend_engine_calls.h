// What the engine object calls of the front end: the object holds one front
// end and the active end-pointer settings and never looks inside either.
#pragma once

struct FE;
struct UttDet;

// Frees a front end; null is ignored.
void FE_Destroy(FE* frontEnd);
