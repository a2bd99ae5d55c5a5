// A scripted stand-in for the recognition engine: every entry point the
// recogniser wrapper calls, written down in a call log, answering from
// consistent state (vocabulary, classes with the model set's own classes,
// constraints, stored halves, model-set information) and from scripts
// (results per entry point, sample, frame and packet statuses, choice
// lists). The suite's session tests script recognition results through it.
#pragma once

#include "core/brevit/api/brevit.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

// A scripted answer that lets the entry point do its normal work.
inline constexpr EBrevit kFakeNormal = -1;
// Result 0 with the out id 0: a class or member the engine refused.
inline constexpr EBrevit kFakeRefuse = -2;

struct FakeModelSet {
    bool readable = true;             // model-set information reads (else 4)
    std::string language = "enus";
    uint32_t capabilities = 92;       // property word 1
    uint32_t kindWord = 4;            // property word 2
    int32_t sampleRate = 8000;
};

struct FakeStoredModelSet {
    std::string language;
    uint32_t capabilities = 0, kindWord = 0;
};

// One class group of a choice: its words, blank-separated, must be words
// the rebuild (or the model set) made active.
struct FakeRun {
    std::string className;
    std::u16string text;
};

struct FakeChoice {
    std::string constraint;  // by name
    std::vector<FakeRun> runs;
};

struct FakeBrevit {
    // The model set: files by name, classes and constraints every engine
    // starts with.
    std::map<std::string, FakeModelSet> modelSets;
    std::vector<FakeStoredModelSet> storedSets;
    std::map<std::string, std::vector<std::u16string>> modelClasses;
    std::vector<std::string> modelConstraints;

    // Scripted results by entry point name without "Brevit_", one per call;
    // an empty queue lets the call do its normal work.
    std::map<std::string, std::deque<EBrevit>> results;
    std::deque<int32_t> sampleStatuses;  // PutWaveSamples; default 0
    std::deque<int32_t> frameStatuses;   // ProcessFrame; default 0
    std::deque<int32_t> packetStatuses;  // GetNextSigProcPacket; default 2
    std::vector<FakeChoice> choices;     // the list a finished recognition gives
    int32_t confidence = 70;
    // ParseChoiceWords reports a change this many times.
    int32_t parseChanges = 0;
    int32_t ttsEncoding = 4;
    int32_t ttsSamples = 300;  // synthesis length, in samples or bytes
    int32_t infoSize = 10, packetSize = 20;
    // Called after each entry with its log line.
    std::function<void(const std::string&)> onCall;

    // What happened.
    std::vector<std::string> calls;
    int32_t created = 0;  // engines ever created
    int32_t live = 0;     // engines not yet destroyed
};

FakeBrevit& fakeBrevit();
void resetFakeBrevit();

// State of one engine, for checks.
std::vector<std::u16string> fakeBrevitMembers(BrevitEngine* engine, const std::string& className);
bool fakeBrevitHasClass(BrevitEngine* engine, const std::string& className);
std::vector<std::string> fakeBrevitTransitions(BrevitEngine* engine, const std::string& constraint);
bool fakeBrevitHasConstraint(BrevitEngine* engine, const std::string& constraint);
int32_t fakeBrevitSerial(BrevitEngine* engine);       // 1 for the first engine made, ...
bool fakeBrevitLoadedAnything(BrevitEngine* engine);  // stored data read into it
// Calls from position `from` on whose line starts with one of the prefixes
// (all when none given).
std::vector<std::string> fakeBrevitCalls(size_t from = 0, const std::vector<std::string>& prefixes = {});
