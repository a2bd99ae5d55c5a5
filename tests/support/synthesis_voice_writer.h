// A whole synthesis voice for tests, benchmarks and fuzz seeds, written from
// a description: "btt0" (header, per-phone voicing tables, the front end's
// rewrite tables and block, the trajectory optimiser's records), "btc0" and
// the three models "ba2"-"ba4" whose trees ask feature 2 (the unit's phone)
// whether it is a vowel, a pause or another phone, and the vocoder's
// sub-files. The words are the front-end world's
// (synthesis_front_end_vocabulary.h) with "hello" and "world".
//
// Header-only and free of the test framework. Needs an engine context while
// writing.
#pragma once

#include "core/brevit/synthesis/tts.h"
#include "tests/support/cep_model_writer.h"
#include "tests/support/synthesis_front_end_vocabulary.h"
#include "tests/support/synthesis_model_writer.h"

#include <cmath>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace synthesis_voice {

// The three kinds of phone the trees tell apart, in leaf order.
enum PhoneKind { kVowel = 0, kPause = 1, kOther = 2 };

struct KindValues {
    std::vector<uint8_t> durations;   // frames of each state (S)
    uint8_t voicing = 0;              // the pitch states' voicing byte
};

struct VoiceSpec {
    // "btt0" header.
    int32_t format = static_cast<int32_t>(kTTSCepstralFormat);
    int32_t headerWord = 7;
    uint32_t setCRCs[3] = {0x11111111u, 0x22222222u, 0x33333333u};
    uint16_t headerShorts[3] = {front_end_fixture::kStress, front_end_fixture::kClose, 0};
    std::vector<uint8_t> headerTag = {'c', 'e', 'p', '1'};
    int32_t outputKind = 3;
    int32_t maxPhoneId = front_end_fixture::kMaxPhone;
    uint16_t vowelClass = front_end_fixture::kVowelClass;
    uint16_t phoneShorts[3] = {4, 5, 6};
    int32_t D = 13;
    int32_t S = 3;
    int32_t frameShift = 5;
    int32_t edgePause = 150;
    int32_t phrasePause1 = 100;
    int32_t phrasePause2 = 150;
    int32_t speedScale = 100;
    int32_t voicingThreshold = 100;
    int32_t voicingHoldThreshold = 50;
    int32_t postScale = 0;
    // Per phone (N + 1 each when empty: decided for every phone).
    std::vector<uint8_t> voicingTwo, voicingDecided, voicingOne;
    tts_front_end::FrontEndFields frontEnd = front_end_fixture::fields();
    // Optimiser: D, L and K; its other fields follow D.
    int32_t optimizerD = -1;          // D when negative
    int32_t blockLength = 10;
    int32_t kernelLength = 2;
    // Trees and models.
    int32_t treeD = -1;               // D when negative
    int32_t durationDim = -1;         // S when negative
    std::vector<int32_t> postScaleTable;
    KindValues vowel{{3, 4, 3}, 200};
    KindValues pause{{4, 4, 4}, 0};
    KindValues other{{2, 2, 2}, 30};
    double f0 = 125;                  // Hz, every pitch state
    int32_t pitchQ = 12;              // the log pitch's fraction bits
    // Vocoder; its cepstral length is D unless set.
    CepModelSpec vocoder;
    int32_t cepstralLength = -1;
    // Sub-files left out ("btt0", "btc0", "ba2", ..., "bcs0", ...).
    std::set<std::string> omitted;
    // "btt0" ends after its ten int32 (the fuzz target appends its input).
    bool stopAfterHeader = false;
};

inline const KindValues& kindValues(const VoiceSpec& v, int32_t kind)
{
    return kind == kVowel ? v.vowel : kind == kPause ? v.pause : v.other;
}

inline std::vector<uint8_t> perPhone(const VoiceSpec& v, const std::vector<uint8_t>& given, uint8_t fill)
{
    return given.empty() ? std::vector<uint8_t>(static_cast<size_t>(v.maxPhoneId) + 1, fill) : given;
}

// The kind the trees give a phone.
inline int32_t phoneKind(uint16_t phone)
{
    for (uint16_t v : front_end_fixture::kVowels)
        if (v == phone)
            return kVowel;
    return phone == 0 ? kPause : kOther;
}

// One root per position over two shared nodes: "is feature 2 a vowel" (yes:
// leaf 0), then "is it the pause" (yes: leaf 1, no: leaf 2). Position p's
// leaves are states 3p to 3p + 2.
inline AcousticTreeSpec kindTree(int32_t positions)
{
    AcousticTreeSpec t;
    t.phones = 1;
    t.positions = positions;
    t.maxStateId = 3 * positions - 1;
    t.contextVector = true;
    for (int32_t p = 0; p < positions; ++p)
        t.roots.push_back({0, 2, 3 * p});
    t.no = {-1, 2};
    t.yes = {0, 1};
    t.questionIndex = {0, 1};
    t.slots = {2, 2};
    t.bytesPerQuestion = 4;
    t.bitsPerQuestion = 32;
    t.questionBits.assign(8, 0);
    for (uint16_t v : front_end_fixture::kVowels)
        t.questionBits[v / 8] = static_cast<uint8_t>(t.questionBits[v / 8] | (1u << (v % 8)));
    t.questionBits[4] = 0x01;
    return t;
}

inline AcousticModelSpec kindModel(int32_t dim, int32_t positions, std::vector<uint8_t> means)
{
    AcousticModelSpec s = synthesisModelSpec(dim, positions, std::move(means));
    s.states = 3 * positions;
    s.tree = kindTree(positions);
    return s;
}

inline int32_t logPitch(const VoiceSpec& v)
{
    return static_cast<int32_t>(std::lround(std::log(v.f0) * std::ldexp(1.0, v.pitchQ)));
}

inline CepOptimizerSpec optimizerSpec(const VoiceSpec& v)
{
    CepOptimizerSpec o;
    o.D = v.optimizerD >= 0 ? v.optimizerD : v.D;
    o.L = v.blockLength;
    o.K = v.kernelLength;
    o.weights.clear();
    for (double w : {1.0, 0.5, 0.25})
        o.weights.insert(o.weights.end(), static_cast<size_t>(std::max(o.D, 0)), w);
    o.kernels = cepGeneratedKernels(o);
    return o;
}

inline bool writeBtt0(BinFileWriter* w, const VoiceSpec& v)
{
    bool ok = BinFileWriter_WriteInt(w, v.format) && BinFileWriter_WriteInt(w, v.headerWord);
    for (uint32_t crc : v.setCRCs)
        ok = ok && BinFileWriter_WriteInt(w, static_cast<int32_t>(crc));
    for (uint16_t s : v.headerShorts)
        ok = ok && BinFileWriter_WriteInt(w, s);
    ok = ok && search_tables::writeArray(w, v.headerTag) && BinFileWriter_WriteInt(w, v.outputKind) &&
         BinFileWriter_WriteInt(w, v.maxPhoneId) && BinFileWriter_WriteInt(w, v.vowelClass);
    for (uint16_t s : v.phoneShorts)
        ok = ok && BinFileWriter_WriteInt(w, s);
    for (int32_t f : {v.D, v.S, v.frameShift, v.edgePause, v.phrasePause1, v.phrasePause2, v.speedScale,
                      v.voicingThreshold, v.voicingHoldThreshold, v.postScale})
        ok = ok && BinFileWriter_WriteInt(w, f);
    if (v.stopAfterHeader)
        return ok;
    ok = ok && search_tables::writeArray(w, perPhone(v, v.voicingTwo, 0)) &&
         search_tables::writeArray(w, perPhone(v, v.voicingDecided, 1)) &&
         search_tables::writeArray(w, perPhone(v, v.voicingOne, 0)) &&
         search_tables::write(w, front_end_fixture::pronToPhone()) &&
         search_tables::write(w, front_end_fixture::phoneClasses()) && tts_front_end::write(w, v.frontEnd);
    return ok && writeCepOptimizerRecords(w, optimizerSpec(v));
}

// "btc0" and the three models.
inline bool writeTrees(DVKTar* tar, const VoiceSpec& v, const char* prefix)
{
    const int32_t D = v.treeD >= 0 ? v.treeD : v.D;
    const int32_t durationDim = v.durationDim >= 0 ? v.durationDim : v.S;
    CepDTreeSpec table;
    table.D = D;
    table.postScale = v.postScaleTable;
    std::vector<uint8_t> spectrum, durations, pitch, voicing;
    for (int32_t p = 0; p < v.S; ++p)
        for (int32_t kind = 0; kind < 3; ++kind) {
            // The energy term higher for vowels than for the others, lowest in pauses.
            for (int32_t k = 0; k < 3 * D; ++k)
                spectrum.push_back(static_cast<uint8_t>(k == 0 ? 160 - 30 * kind : 128 + (k * 7 + kind * 3 + p) % 9 - 4));
            pitch.insert(pitch.end(), {128, 128, 128});
            voicing.push_back(kindValues(v, kind).voicing);
        }
    for (int32_t kind = 0; kind < 3; ++kind)
        for (int32_t s = 0; s < durationDim; ++s) {
            const std::vector<uint8_t>& d = kindValues(v, kind).durations;
            durations.push_back(static_cast<size_t>(s) < d.size() ? d[static_cast<size_t>(s)] : 1);
        }
    const std::vector<int32_t> none;
    auto wanted = [&](const char* tag) { return v.omitted.count(tag) == 0; };
    bool ok = true;
    if (wanted("btc0"))
        ok = ok && writeAcousticRecords(tar, cepDTreeRecords(table), "btc0", prefix);
    if (wanted("ba2"))
        ok = ok && writeAcousticRecords(tar, synthesisModelRecords(kindModel(3 * D, v.S, spectrum), none, none),
                                        "ba2", prefix);
    if (wanted("ba3"))
        ok = ok && writeAcousticRecords(tar, synthesisModelRecords(kindModel(durationDim, 1, durations), none, none),
                                        "ba3", prefix);
    if (wanted("ba4"))
        ok = ok && writeAcousticRecords(tar,
                                        synthesisModelRecords(kindModel(3, v.S, pitch), {logPitch(v), 0, 0},
                                                              {0, 0, 0}, voicing),
                                        "ba4", prefix);
    return ok;
}

// Every sub-file of the voice into a writable archive.
inline bool writeVoice(DVKTar* tar, const VoiceSpec& v, const char* prefix = nullptr)
{
    bool ok = true;
    if (v.omitted.count("btt0") == 0) {
        BinFileWriter* w = BinFileWriter_Create(tar, "btt0", prefix);
        if (w == nullptr)
            return false;
        const bool written = writeBtt0(w, v);
        ok = BinFileWriter_Delete(w) == 0 && written;
    }
    ok = ok && writeTrees(tar, v, prefix);
    CepModelSpec vocoder = v.vocoder;
    vocoder.cepLength = v.cepstralLength >= 0 ? v.cepstralLength : v.D;
    CepModel model = CepModel_Make(vocoder);
    model.omitted.insert(v.omitted.begin(), v.omitted.end());
    return ok && CepModel_WriteTo(tar, model, prefix);
}

// The test voice: D 13, S 3, 16 kHz, H 80, F0 125 Hz, three tied states a
// position per model.
inline VoiceSpec testVoice()
{
    return VoiceSpec{};
}

// The words of the voice's vocabulary.
inline std::vector<vocabulary_fixture::WordSpec> words()
{
    std::vector<vocabulary_fixture::WordSpec> w = front_end_fixture::words();
    w.push_back({u"hello", u"", {"Y EH . ' L AO"}, true});
    w.push_back({u"world", u"", {"' V ER L D"}, true});
    return w;
}

// The parameter words a voice speaks under: synthesis on, streaming rings
// (the output ring holds a block), no pause lengths of its own, no
// pass-through frames.
inline std::vector<std::pair<int, uint32_t>> params(const VoiceSpec& v)
{
    return {{902, 1}, {197, 1}, {198, 1}, {201, static_cast<uint32_t>(v.blockLength)}, {921, 0}, {922, 0}};
}

} // namespace synthesis_voice
