// A decoder kind for tests: a record that starts with the common decoder
// head, any of whose slots may be filled or left empty, answering from a
// script (a state word, an answer per slot, choices to hand out, the frame
// at which the search ends) and logging every slot call with its arguments.
//
// Header-only and free of the test framework. The ScriptedDecoder must
// outlive the decoder records it creates; records are freed through slot 0
// (Decoder_Delete) like any kind's.
#pragma once

#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/decoder.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class ScriptedDecoder {
public:
    struct Choice {
        int32_t score;
        std::vector<uint32_t> words;
    };

    // The record the Decoder pointer points at.
    struct Object {
        Decoder head;
        ScriptedDecoder* owner;
    };

    // Every slot but 0 filled (slot 0 always is).
    static constexpr uint64_t kAllSlots = (uint64_t{1} << kDecoderSlotCount) - 1;

    // Script.
    int32_t state = kDecoderStateRunning;
    int32_t answer = 7;                 // what int-answering slots return
    DecoderHandle handle = 0x51;        // UttInit's answer
    int32_t endFrame = -1;              // frame (from 0) after which the state becomes endState
    int32_t endState = kDecoderStateFinished;
    std::vector<Choice> choices;
    // Log: one line per slot call, "name arg arg ...".
    std::vector<std::string> log;
    int32_t frames = 0;

    // A new record with the slots of the mask filled; null when memory is short.
    Decoder* create(uint64_t slots = kAllSlots, int32_t kind = 3)
    {
        auto* object = static_cast<Object*>(DVKMem_Calloc(sizeof(Object)));
        if (object == nullptr)
            return nullptr;
        object->owner = this;
        Decoder* d = &object->head;
        d->kind = kind;
        d->rejectionScore = kDecoderNoScore;
        d->fillerFrames = -1;
        d->rejectionThreshold = kDecoderRejectionOff;
        d->leftIds[0] = d->leftIds[1] = 0xFFFF;
        d->rightIds[0] = d->rightIds[1] = 0xFFFF;
        void* table[kDecoderSlotCount] = {
            reinterpret_cast<void*>(&del),          reinterpret_cast<void*>(&freeMemory),
            reinterpret_cast<void*>(&writePSA),     reinterpret_cast<void*>(&readPSA),
            reinterpret_cast<void*>(&uttInit),      reinterpret_cast<void*>(&uttRestart),
            reinterpret_cast<void*>(&setRejection), reinterpret_cast<void*>(&processFrame),
            reinterpret_cast<void*>(&getState),     reinterpret_cast<void*>(&setCross),
            reinterpret_cast<void*>(&currentFrame), reinterpret_cast<void*>(&finalSilence),
            reinterpret_cast<void*>(&setRejected),  reinterpret_cast<void*>(&getChoices),
            reinterpret_cast<void*>(&nonAcoustic),  reinterpret_cast<void*>(&notifyLM),
            reinterpret_cast<void*>(&partial),      reinterpret_cast<void*>(&cloneGraph),
            reinterpret_cast<void*>(&interval),     reinterpret_cast<void*>(&massage),
            reinterpret_cast<void*>(&uttFinish),    reinterpret_cast<void*>(&setFrameBuffer),
            reinterpret_cast<void*>(&fillPronCache), reinterpret_cast<void*>(&rebuildTree),
            reinterpret_cast<void*>(&detailedMatch), reinterpret_cast<void*>(&fillChoiceStruct),
            reinterpret_cast<void*>(&addPair),      reinterpret_cast<void*>(&silenceTime),
            reinterpret_cast<void*>(&bestAccum),    reinterpret_cast<void*>(&bestConstraint),
            reinterpret_cast<void*>(&extendSilence), reinterpret_cast<void*>(&keyScores),
            reinterpret_cast<void*>(&bestCross),    reinterpret_cast<void*>(&computation),
            reinterpret_cast<void*>(&crc),          reinterpret_cast<void*>(&forget),
            reinterpret_cast<void*>(&wordActive),   reinterpret_cast<void*>(&pronActive),
            reinterpret_cast<void*>(&wordInactive), reinterpret_cast<void*>(&pronInactive),
            reinterpret_cast<void*>(&slot40),       reinterpret_cast<void*>(&dump),
            reinterpret_cast<void*>(&writeSegmentation), reinterpret_cast<void*>(&writeLattice),
            nullptr,                                nullptr,
        };
        // The slots are laid out one pointer each, in slot order.
        static_assert(offsetof(Decoder, slot45) == (kDecoderSlotCount - 1) * sizeof(void*));
        auto* slotsOut = reinterpret_cast<void**>(d);
        for (int32_t i = 0; i < kDecoderSlotCount; ++i)
            slotsOut[i] = (i == 0 || ((slots >> i) & 1u) != 0) ? table[i] : nullptr;
        return d;
    }

    static ScriptedDecoder& of(Decoder* d) { return *reinterpret_cast<Object*>(d)->owner; }

private:
    static std::string n(int64_t v) { return std::to_string(v); }
    void note(const std::string& line) { log.push_back(line); }

    static void del(Decoder* d, int32_t option)
    {
        of(d).note("Delete " + n(option));
        DVKMem_Free(d);
    }
    static void freeMemory(Decoder* d, int32_t level) { of(d).note("FreeMemory " + n(level)); }
    static int32_t writePSA(Decoder* d, DVKTar*, const char* prefix)
    {
        of(d).note(std::string("WritePSAFile ") + (prefix != nullptr ? prefix : "-"));
        return of(d).answer;
    }
    static int32_t readPSA(Decoder* d, DVKTar*, const char* prefix)
    {
        of(d).note(std::string("ReadPSAFile ") + (prefix != nullptr ? prefix : "-"));
        return of(d).answer;
    }
    static DecoderHandle uttInit(Decoder* d, const uint16_t* left, int32_t leftCount, Constraint* const*,
                                 int32_t count, int32_t mode, int32_t a, int32_t b, int32_t c, int32_t e)
    {
        std::string line = "UttInit";
        for (int32_t i = 0; i < leftCount; ++i)
            line += " " + n(left[i]);
        line += " | " + n(leftCount) + " " + n(count) + " " + n(mode) + " " + n(a) + " " + n(b) + " " + n(c) +
                " " + n(e);
        ScriptedDecoder& s = of(d);
        s.note(line);
        s.frames = 0;
        return s.handle;
    }
    static void uttRestart(Decoder* d) { of(d).note("UttRestart"); }
    static int32_t setRejection(Decoder* d, int32_t on, int32_t threshold)
    {
        of(d).note("SetRejectionParameters " + n(on) + " " + n(threshold));
        return of(d).answer;
    }
    static int32_t processFrame(Decoder* d, const uint8_t* frame, const int32_t* side)
    {
        ScriptedDecoder& s = of(d);
        s.note("ProcessFrame " + n(frame != nullptr ? frame[0] : -1) + " " + n(side != nullptr ? *side : -1));
        if (s.frames++ == s.endFrame)
            s.state = s.endState;
        return s.state;
    }
    static int32_t getState(Decoder* d) { return of(d).state; }
    static void setCross(Decoder* d, int32_t v) { of(d).note("SetCrossThresholding " + n(v)); }
    static int32_t currentFrame(Decoder* d)
    {
        of(d).note("GetCurrentFrame");
        return of(d).answer;
    }
    static int32_t finalSilence(Decoder* d, int32_t frames)
    {
        of(d).note("FESeenFinalSilence " + n(frames));
        return of(d).answer;
    }
    static int32_t setRejected(Decoder* d)
    {
        of(d).note("SetRejected");
        of(d).state = kDecoderStateFailed;
        return of(d).answer;
    }
    static int32_t getChoices(Decoder* d, int32_t limit, int32_t* scores, int16_t*, int32_t capacity,
                              uint32_t* words, uint8_t*, uint32_t*, uint32_t*, uint8_t*, uint16_t*, Constraint**,
                              const void* frames, const int32_t* sides)
    {
        ScriptedDecoder& s = of(d);
        s.note("GetChoicesAndScores " + n(limit) + " " + n(capacity) + " " + (frames != nullptr ? "f" : "-") +
               " " + (sides != nullptr ? "s" : "-"));
        int32_t written = 0;
        int32_t count = 0;
        for (const Choice& c : s.choices) {
            const auto size = static_cast<int32_t>(c.words.size()) + 1;
            if (count >= limit || written + size > capacity)
                break;
            for (uint32_t w : c.words)
                words[written++] = w;
            words[written++] = kDecoderEndOfChoice;
            scores[count++] = c.score;
        }
        return count;
    }
    static int32_t nonAcoustic(Decoder* d, int32_t leftCount, const uint32_t*, int32_t total, int32_t count,
                               const uint32_t*, const uint8_t*)
    {
        of(d).note("GetNonAcousticScore " + n(leftCount) + " " + n(total) + " " + n(count));
        return of(d).answer;
    }
    static void notifyLM(Decoder* d, int32_t w) { of(d).note("NotifyLMAdapt " + n(w)); }
    static int32_t partial(Decoder* d, int32_t capacity, uint32_t*)
    {
        of(d).note("GetPartialResult " + n(capacity));
        return of(d).answer;
    }
    static WordGraph* cloneGraph(Decoder* d)
    {
        of(d).note("CloneWordGraph");
        return reinterpret_cast<WordGraph*>(d);
    }
    static int32_t interval(Decoder* d, int32_t index, int32_t*, int32_t*)
    {
        of(d).note("GetChoiceInterval " + n(index));
        return of(d).answer;
    }
    static int32_t massage(Decoder* d, uint16_t*, int32_t* count, int32_t*)
    {
        of(d).note("MassageChoice " + n(*count));
        return of(d).answer;
    }
    static int32_t uttFinish(Decoder* d, Utterance* u)
    {
        of(d).note(std::string("UttFinish ") + (u != nullptr ? "u" : "-"));
        return of(d).answer;
    }
    static int32_t setFrameBuffer(Decoder* d, FrameBuffer*)
    {
        of(d).note("SetFrameBuffer");
        return of(d).answer;
    }
    static void fillPronCache(Decoder* d, ClassManager* m, int32_t flag)
    {
        of(d).note(std::string("FillPronCacheAllClasses ") + (m != nullptr ? "m" : "-") + " " + n(flag));
    }
    static int32_t rebuildTree(Decoder* d)
    {
        of(d).note("RebuildTreeIfNecessary");
        return of(d).answer;
    }
    static int32_t detailedMatch(Decoder* d, int32_t a, int32_t b)
    {
        of(d).note("RunDetailedMatch " + n(a) + " " + n(b));
        return of(d).answer;
    }
    static int32_t fillChoiceStruct(Decoder* d, void*, int32_t limit)
    {
        of(d).note("FillChoiceStruct " + n(limit));
        return of(d).answer;
    }
    static int32_t addPair(Decoder* d, int16_t a, int16_t b)
    {
        of(d).note("AddPair " + n(a) + " " + n(b));
        return of(d).answer;
    }
    static int32_t silenceTime(Decoder* d)
    {
        of(d).note("GetSilenceThresholdTime");
        return of(d).answer;
    }
    static int32_t bestAccum(Decoder* d)
    {
        of(d).note("GetBestAccumScore");
        return of(d).answer;
    }
    static int32_t bestConstraint(Decoder* d, int32_t count, int32_t*)
    {
        of(d).note("GetBestConstraintScores " + n(count));
        return of(d).answer;
    }
    static int32_t extendSilence(Decoder* d)
    {
        of(d).note("ExtendFinalSilence");
        return of(d).answer;
    }
    static void keyScores(Decoder* d, int32_t* a, int32_t* b, int32_t* c)
    {
        of(d).note("GetKeyScores");
        *a = *b = *c = of(d).answer;
    }
    static void bestCross(Decoder* d, int32_t v) { of(d).note("SetBestCrossScore " + n(v)); }
    static void computation(Decoder* d, int32_t v) { of(d).note("SetComputation " + n(v)); }
    static uint32_t crc(Decoder* d)
    {
        of(d).note("ComputeCRC");
        return static_cast<uint32_t>(of(d).answer);
    }
    static void forget(Decoder* d, Constraint*) { of(d).note("ForgetConstraint"); }
    static int32_t wordActive(Decoder* d, int32_t w)
    {
        of(d).note("MakeWordActive " + n(w));
        return of(d).answer;
    }
    static int32_t pronActive(Decoder* d, int32_t w, int32_t p)
    {
        of(d).note("MakePronActive " + n(w) + " " + n(p));
        return of(d).answer;
    }
    static int32_t wordInactive(Decoder* d, int32_t w)
    {
        of(d).note("MakeWordInactive " + n(w));
        return of(d).answer;
    }
    static int32_t pronInactive(Decoder* d, int32_t p)
    {
        of(d).note("MakePronInactive " + n(p));
        return of(d).answer;
    }
    static void slot40(Decoder* d, int32_t a, int32_t b) { of(d).note("Slot40 " + n(a) + " " + n(b)); }
    static void dump(Decoder* d) { of(d).note("DumpState"); }
    static int32_t writeSegmentation(Decoder* d, const char*)
    {
        of(d).note("WriteSegmentationFile");
        return of(d).answer;
    }
    static int32_t writeLattice(Decoder* d, const char*)
    {
        of(d).note("WriteLatticeFile");
        return of(d).answer;
    }
};
