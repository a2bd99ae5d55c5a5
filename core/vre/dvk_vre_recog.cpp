// One recognition over the suite's audio frames, end detection alone,
// feature capture for a remote recogniser, and speaker adaptation.
#include "core/vre/dvk_vre_record.h"

#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"

#include <cstring>

namespace {

const int32_t kMaxWordIds = 32;
// A packet needs its own size plus this much beyond the used bytes, which
// also keeps room for the 4-byte trailer.
const int32_t kCaptureReserve = 3;

int32_t startListeningAndRecognizing(dvk_vre_Recognizer* vre, int32_t mode, int32_t constraintCount)
{
    if (Brevit_StartListening(vre->engine, &vre->utteranceId) != EBrevit_OK)
        return 1;
    const EBrevit started =
        Brevit_StartRecognizing(vre->engine, vre->utteranceId, mode, 1, &vre->resultWord, constraintCount,
                                constraintCount > 0 ? vre->brevitConstraints : nullptr);
    if (started != EBrevit_OK) {
        dvk_vre_log().log(WexLogError, "recognition (mode %d) not started: %d", mode, started);
        return 1;
    }
    return 0;
}

void freeCapture(dvk_vre_Recognizer* vre)
{
    dvk_mem_dealloc(&vre->captureTempBuffer.data);
    vre->captureTempBuffer = {};
}

bool captureHasRoom(const dvk_vre_CaptureBuffer& capture, int32_t packetSize)
{
    return capture.used + packetSize + kCaptureReserve < capture.capacity;
}

// Asks for packets until the engine has none ready (2) or none left (4),
// keeping those it wrote (0, 1), while the buffer has room; a full buffer
// refuses the next call. 1 when the engine fails.
int32_t takePackets(dvk_vre_Recognizer* vre, int32_t packetSize)
{
    dvk_vre_CaptureBuffer& capture = vre->captureTempBuffer;
    for (;;) {
        if (!captureHasRoom(capture, packetSize))
            return 0;
        int32_t status = 4;
        if (Brevit_GetNextSigProcPacket(vre->engine, capture.data + capture.used, &status) != EBrevit_OK)
            return 1;
        if (status == 2 || status == 4)
            return 0;
        if (status == 0 || status == 1) {
            capture.used += packetSize;
            capture.packetCount += 1;
        }
    }
}

bool isDigit(dvk_ucs2_Char c)
{
    return c >= '0' && c <= '9';
}

}  // namespace

int32_t dvk_vre_startRecog(dvk_vre_Recognizer* vre, dvk_vre_FeatureCallback featureCallback,
                           void* featureContext, dvk_constraints_Constraint** constraints)
{
    DVK_ASSERT(vre != DVK_NULL);
    DVK_ASSERT(constraints != DVK_NULL);
    DVK_ASSERT(!vre->rebuildInProgress);
    DVK_ASSERT(!vre->adaptationStarted);
    DVK_ASSERT(!vre->enrollmentStarted);
    vre->featureCallback = featureCallback;
    vre->featureContext = featureContext;
    vre->resultWord = 0xFFFFFFFFu;
    vre->numConstraints = 0;
    vre->inputEnded = 0;
    vre->finished = 0;
    for (dvk_constraints_Constraint** c = constraints; *c != nullptr; ++c) {
        if (vre->numConstraints > 30) {
            dvk_vre_log().log(WexLogError, "more than 31 constraints");
            return 1;
        }
        if (!vre->partialModelsSupported && getConstraintIrClassCount(*c) > 0)
            continue;
        int32_t index = -1;
        if (Brevit_FindConstraint(vre->engine, (*c)->name, &index) != EBrevit_OK || index == -1) {
            dvk_vre_log().log(WexLogError, "constraint \"%s\" not in the engine", (*c)->name);
            return 1;
        }
        vre->constraints[vre->numConstraints] = *c;
        vre->brevitConstraints[vre->numConstraints] = index;
        vre->numConstraints += 1;
    }
    if (Brevit_ClearFeatureQueueStats(vre->engine) != EBrevit_OK)
        return 1;
    return startListeningAndRecognizing(vre, 3, vre->numConstraints);
}

int32_t dvk_vre_processPCM(dvk_vre_Recognizer* vre, const int16_t* samples, int32_t count)
{
    DVK_ASSERT(vre != DVK_NULL);
    DVK_ASSERT(count >= 0);
    int32_t status = 0;
    const EBrevit fed = Brevit_PutWaveSamples(vre->engine, samples, count, &status);
    if (fed != EBrevit_OK)
        dvk_vre_log().log(WexLogWarning, "samples refused: %d", fed);
    return status == 2 ? 1 : 0;
}

int32_t dvk_vre_processFeature(dvk_vre_Recognizer* vre, int32_t* processedFeature, int32_t* memoryError)
{
    DVK_ASSERT(vre != DVK_NULL);
    DVK_ASSERT(processedFeature != DVK_NULL);
    DVK_ASSERT(memoryError != DVK_NULL);
    *memoryError = 0;
    *processedFeature = 0;
    if (vre->finished)
        return 1;
    if (vre->featureCallback != nullptr) {
        int16_t* samples = nullptr;
        const int32_t count = vre->featureCallback(&samples, vre->featureContext, memoryError);
        if (count < 0) {
            vre->featureCallback = nullptr;
            vre->inputEnded = 1;
        } else {
            dvk_vre_processPCM(vre, samples, count);
        }
    }
    int32_t status = 3;
    const EBrevit stepped = Brevit_ProcessFrame(vre->engine, &status);
    if (stepped != EBrevit_OK) {
        // Whatever went wrong inside the engine, the recognition cannot go
        // on: the caller takes the out-of-memory route.
        dvk_vre_log().log(WexLogError, "frame step failed: %d", stepped);
        *memoryError = 1;
        return vre->finished;
    }
    *processedFeature = status != 3;
    // 1: listening has stopped and no frame is left, which ends it as well.
    if (status == 0 || status == 1)
        vre->finished = 1;
    else if (status == 3)
        vre->finished = vre->inputEnded;
    else
        vre->finished = 0;
    return vre->finished;
}

int32_t dvk_vre_stopRecog(dvk_vre_Recognizer* vre, int32_t flag)
{
    DVK_ASSERT(vre != DVK_NULL);
    const EBrevit listening = Brevit_StopListening(vre->engine);
    const EBrevit recognizing = Brevit_StopRecognizing(vre->engine, flag);
    return listening == EBrevit_OK && recognizing == EBrevit_OK ? 0 : 1;
}

int32_t dvk_vre_startUtteranceEndDetect(dvk_vre_Recognizer* vre)
{
    DVK_ASSERT(vre != DVK_NULL);
    vre->resultWord = 0xFFFFFFFFu;
    return startListeningAndRecognizing(vre, 6, 0);
}

int32_t dvk_vre_finishUtteranceEndDetect(dvk_vre_Recognizer* vre)
{
    DVK_ASSERT(vre != DVK_NULL);
    const EBrevit listening = Brevit_StopListening(vre->engine);
    const EBrevit recognizing = Brevit_StopRecognizing(vre->engine, 1);
    return listening == EBrevit_OK && recognizing == EBrevit_OK ? 0 : 1;
}

int32_t dvk_vre_startCapture(dvk_vre_Recognizer* vre, int32_t bufferLen)
{
    DVK_ASSERT(vre != DVK_NULL);
    DVK_ASSERT(bufferLen > 0);
    freeCapture(vre);
    dvk_vre_CaptureBuffer& capture = vre->captureTempBuffer;
    capture.data = static_cast<uint8_t*>(dvk_mem_alloc(static_cast<size_t>(bufferLen)));
    if (capture.data == nullptr)
        return 1;
    capture.capacity = bufferLen;
    int32_t infoSize = 0;
    if (Brevit_GetSigProcInfoSize(vre->engine, &infoSize) != EBrevit_OK || infoSize < 0 ||
        infoSize + kCaptureReserve >= bufferLen || Brevit_GetSigProcInfo(vre->engine, capture.data) != EBrevit_OK) {
        freeCapture(vre);
        return 1;
    }
    capture.used = infoSize;
    vre->resultWord = 0xFFFFFFFFu;
    if (startListeningAndRecognizing(vre, 6, 0) != 0) {
        freeCapture(vre);
        return 1;
    }
    return 0;
}

int32_t dvk_vre_processCapturePCM(dvk_vre_Recognizer* vre, const int16_t* samples, int32_t count)
{
    DVK_ASSERT(vre != DVK_NULL);
    DVK_ASSERT(count >= 0);
    DVK_ASSERT(vre->captureTempBuffer.data != DVK_NULL);
    int32_t packetSize = 0;
    if (Brevit_GetSigProcPacketSize(vre->engine, &packetSize) != EBrevit_OK || packetSize <= 0 ||
        !captureHasRoom(vre->captureTempBuffer, packetSize))
        return 1;
    int32_t status = 0;
    Brevit_PutWaveSamples(vre->engine, samples, count, &status);
    // One buffer can make more than one frame, and the engine hands out one
    // packet per call.
    if (takePackets(vre, packetSize) != 0)
        return 1;
    return status == 2 ? 1 : 0;
}

int32_t dvk_vre_finishCapture(dvk_vre_Recognizer* vre, uint8_t* out, int32_t* outLen)
{
    DVK_ASSERT(vre != DVK_NULL);
    DVK_ASSERT(out != DVK_NULL);
    DVK_ASSERT(outLen != DVK_NULL);
    dvk_vre_CaptureBuffer& capture = vre->captureTempBuffer;
    if (capture.data == nullptr)
        return 1;
    int32_t packetSize = 0;
    int32_t result = Brevit_StopListening(vre->engine) != EBrevit_OK ||
                     Brevit_GetSigProcPacketSize(vre->engine, &packetSize) != EBrevit_OK || packetSize <= 0;
    while (result == 0 && captureHasRoom(capture, packetSize)) {
        int32_t status = 4;
        if (Brevit_GetNextSigProcPacket(vre->engine, capture.data + capture.used, &status) != EBrevit_OK)
            result = 1;
        else if (status == 2 || status == 4)
            break;
        else if (status == 0 || status == 1) {
            capture.used += packetSize;
            capture.packetCount += 1;
        }
    }
    if (Brevit_StopRecognizing(vre->engine, 1) != EBrevit_OK)
        result = 1;
    if (result == 0) {
        std::memcpy(capture.data + capture.used, vre->captureTrailer, sizeof(vre->captureTrailer));
        capture.used += static_cast<int32_t>(sizeof(vre->captureTrailer));
        std::memcpy(out, capture.data, static_cast<size_t>(capture.used));
        *outLen = capture.used;
    }
    freeCapture(vre);
    return result;
}

int32_t dvk_vre_startAdaptation(dvk_vre_Recognizer* vre, dvk_vre_FeatureCallback featureCallback,
                                void* featureContext, const dvk_ucs2_Char* text)
{
    DVK_ASSERT(vre != DVK_NULL);
    DVK_ASSERT(text != DVK_NULL);
    vre->featureCallback = featureCallback;
    vre->featureContext = featureContext;
    vre->resultWord = 0xFFFFFFFFu;
    vre->inputEnded = 0;
    vre->finished = 0;
    if (!vre->adaptationStarted) {
        if (Brevit_StartEnrollmentSession(vre->engine) != EBrevit_OK)
            return 1;
        vre->adaptationStarted = 1;
    }
    // Digits are said one by one: "555" is tokenised as "5 5 5".
    const long length = dvk_ucs2_strlen(text);
    dvk_ucs2_Char* spaced = dvk_ucs2_create(2 * length);
    if (spaced == nullptr)
        return 1;
    long n = 0;
    for (long i = 0; i < length; ++i) {
        if (i > 0 && isDigit(text[i - 1]) && isDigit(text[i]))
            spaced[n++] = ' ';
        spaced[n++] = text[i];
    }
    spaced[n] = 0;
    VocId wordIds[kMaxWordIds];
    int32_t starts[kMaxWordIds], ends[kMaxWordIds], count = 0;
    const EBrevit tokenized = Brevit_TokenizeU(vre->engine, spaced, 1, 1, kMaxWordIds, wordIds, starts, ends, &count);
    dvk_ucs2_destroy(&spaced);
    if (tokenized != EBrevit_OK || count <= 0) {
        dvk_vre_log().log(WexLogError, "adaptation text not tokenised: %d", tokenized);
        return 1;
    }
    if (Brevit_SetEnrollmentConstraint(vre->engine, count, wordIds) != EBrevit_OK)
        return 1;
    return startListeningAndRecognizing(vre, 8, 0);
}

int32_t dvk_vre_stopAdaptRecog(dvk_vre_Recognizer* vre, int32_t* failed, int32_t flag)
{
    DVK_ASSERT(vre != DVK_NULL);
    DVK_ASSERT(failed != DVK_NULL);
    *failed = 1;
    if (Brevit_StopListening(vre->engine) != EBrevit_OK)
        return 1;
    const EBrevit stopped = Brevit_StopRecognizing(vre->engine, flag);
    if (stopped == EBrevit_OK) {
        *failed = 0;
        return Brevit_ProcessEnrollment(vre->engine) == EBrevit_OK ? 0 : 1;
    }
    return stopped == EBrevit_UtteranceNotUsable ? 0 : 1;
}

int32_t dvk_vre_endAdaptationSession(dvk_vre_Recognizer* vre, int32_t flag)
{
    DVK_ASSERT(vre != DVK_NULL);
    if (!vre->adaptationStarted)
        return 0;
    vre->adaptationStarted = 0;
    Brevit_ReleaseUnusedMemory(vre->engine, 1);
    if (Brevit_EndEnrollmentSession(vre->engine, flag) != EBrevit_OK)
        return 1;
    return flag == 0 ? dvk_vre_save(vre, 1) : 0;
}

int32_t dvk_vre_isRecognizable(dvk_vre_Recognizer* vre, const dvk_ucs2_Char* phrase, int32_t* notRecognisable)
{
    DVK_ASSERT(vre != DVK_NULL);
    DVK_ASSERT(phrase != DVK_NULL);
    DVK_ASSERT(notRecognisable != DVK_NULL);
    *notRecognisable = 0;
    VocId wordIds[kMaxWordIds];
    int32_t count = 0;
    const EBrevit activated = Brevit_MakePhraseActiveU(vre->engine, phrase, kMaxWordIds, wordIds, &count);
    if (activated == EBrevit_OK)
        return 1;
    *notRecognisable = activated == EBrevit_AdditionRefused;
    return 0;
}
