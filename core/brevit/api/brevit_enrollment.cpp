#include "core/brevit/api/brevit_enrollment.h"

#include "core/brevit/api/brevit_engine.h"
#include "core/brevit/api/brevit_enroll_phrases.h"

// Hooks of the engine object's life; this family holds nothing of its own yet.

void BrevitPriv_InitEnrollment(BrevitEngine*) {}

void BrevitPriv_AbandonEnrollmentSession(BrevitEngine*) {}

void BrevitPriv_FreeEnrollment(BrevitEngine* engine)
{
    EnrollPhrases_Delete(engine->enrollment.phrases);
    engine->enrollment.phrases = nullptr;
}
