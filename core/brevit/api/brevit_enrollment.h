// Enrollment state of the engine object.
#pragma once

#include <cstdint>

struct BrevitEngine;

void BrevitPriv_InitEnrollment(BrevitEngine* engine);
// Ends an open session, abandoning its pending stages, at the start of destroy.
void BrevitPriv_AbandonEnrollmentSession(BrevitEngine* engine);
// The "ber0" phrase set, at the end of destroy.
void BrevitPriv_FreeEnrollment(BrevitEngine* engine);
