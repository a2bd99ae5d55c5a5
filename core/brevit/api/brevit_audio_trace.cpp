// The activity trace: one code a listen event with its start and end time
// in milliseconds, off while its capacity is 0.
#include "core/brevit/api/brevit_audio_input.h"

#include "core/brevit/api/brevit_engine.h"
#include "core/brevit/runtime/dvk_time.h"

namespace {

uint16_t nowMs()
{
    DVKTimeRecord t;
    DVK_GetTime(&t);
    return static_cast<uint16_t>(t.words[1] * 1000u + t.words[0]);
}

void keepTimeText(BrevitAudioTrace& trace)
{
    time_t now = 0;
    DVKTime_GetTime(&now);
    const char* text = DVKTime_GetTimeString(&now);
    int32_t n = 0;
    for (; text != nullptr && n < 30 && static_cast<unsigned char>(text[n]) >= 32; ++n)
        trace.text[n] = text[n];
    trace.text[n] = '\0';
}

} // namespace

void BrevitPriv_TraceEvent(BrevitEngine* e, uint8_t code)
{
    BrevitAudioTrace& trace = e->audioInput.trace;
    if (trace.capacity < 1)
        return;
    if (trace.count >= trace.capacity) {
        trace.codes[trace.capacity - 1] = kBrevitTraceFull;
        return;
    }
    if (code == kBrevitTraceListen) {
        trace.count = 0;
        keepTimeText(trace);
    }
    trace.codes[trace.count] = code;
    trace.startMs[trace.count] = nowMs();
    trace.endMs[trace.count] = 65535;
    trace.count += 1;
}

void BrevitPriv_TraceEndStamp(BrevitEngine* e)
{
    BrevitAudioTrace& trace = e->audioInput.trace;
    if (trace.capacity > 0 && trace.count > 0)
        trace.endMs[trace.count - 1] = nowMs();
}
