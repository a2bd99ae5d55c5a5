// Model sets for tests, benchmarks and fuzz seeds: a ModelSetSpec becomes
// the sub-files engine creation reads, in the order it reads them, each a
// named record (name and bytes) a test can drop, replace, reorder or cut
// before the records are laid out as one archive image or file.
//
// Sub-files: "brevitversion" (every field and layout; presence from the
// parts present unless given), "dvkpar", the front end, acoustic models
// 0-3, the vocabulary ("voc", "mwl", "bacm0"), "bdecN/bd0", "bcm1",
// "grm1", "ber0", then any extra sub-files. Each component is written by
// its own writer into a scratch archive and taken from there.
//
// Header-only and free of the test framework. Needs an engine context while
// writing and a writable data directory (the test's temporary root).
#pragma once

#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "oem/dvk_oem_dirs.h"
#include "tests/support/acoustic_model_records.h"
#include "tests/support/class_store_writer.h"
#include "tests/support/frontend_model.h"
#include "tests/support/grammar_writer.h"
#include "tests/support/param_block_builder.h"
#include "tests/support/synthesis_voice_writer.h"
#include "tests/support/vocabulary_writer.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace model_set {

struct Record {
    std::string name;
    std::string data;
};

class Records {
public:
    std::vector<Record> list;

    bool has(const std::string& name) const { return find(name) != list.end(); }
    const Record& at(const std::string& name) const { return *find(name); }
    Records& drop(const std::string& name)
    {
        list.erase(find(name));
        return *this;
    }
    Records& replace(const std::string& name, std::string data)
    {
        find(name)->data = std::move(data);
        return *this;
    }
    // The record keeps only its first bytes.
    Records& cut(const std::string& name, size_t bytes)
    {
        auto it = find(name);
        it->data.resize(std::min(bytes, it->data.size()));
        return *this;
    }
    // The named record moves to the front (or to the end).
    Records& moveToFront(const std::string& name)
    {
        std::rotate(list.begin(), find(name), find(name) + 1);
        return *this;
    }
    Records& moveToEnd(const std::string& name)
    {
        auto it = find(name);
        std::rotate(it, it + 1, list.end());
        return *this;
    }
    Records& add(std::string name, std::string data)
    {
        list.push_back({std::move(name), std::move(data)});
        return *this;
    }
    void append(const Records& more) { list.insert(list.end(), more.list.begin(), more.list.end()); }

private:
    std::vector<Record>::const_iterator find(const std::string& name) const
    {
        return std::find_if(list.begin(), list.end(), [&](const Record& r) { return r.name == name; });
    }
    std::vector<Record>::iterator find(const std::string& name)
    {
        return std::find_if(list.begin(), list.end(), [&](const Record& r) { return r.name == name; });
    }
};

// ---- archive images ------------------------------------------------------------------

inline void putShort(std::string& out, uint16_t v) { out.append(reinterpret_cast<const char*>(&v), 2); }
inline void putWord(std::string& out, uint32_t v) { out.append(reinterpret_cast<const char*>(&v), 4); }

// The records as an archive image in the machine's byte order, in order.
inline std::string image(const Records& records)
{
    std::string out("DVK\0ktr\0", 8);
    putShort(out, kDVKTarByteOrderMark);
    putShort(out, 2);
    putShort(out, static_cast<uint16_t>(records.list.size()));
    putShort(out, 0);
    for (const Record& r : records.list) {
        putShort(out, static_cast<uint16_t>(r.name.size()));
        out += r.name;
        putWord(out, kDVKTarReservedWord);
        putWord(out, static_cast<uint32_t>(r.data.size()));
        out += r.data;
    }
    return out;
}

inline bool writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return out.good();
}

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The live sub-files of an archive image in this machine's order (empty
// when it is not one).
inline Records parse(const std::string& bytes)
{
    Records out;
    if (bytes.size() < 16 || bytes.compare(0, 8, std::string("DVK\0ktr\0", 8)) != 0)
        return out;
    uint16_t version = 0;
    std::memcpy(&version, bytes.data() + 10, 2);
    size_t at = version == 3 ? kDVKTarHeaderLengthV3 : kDVKTarHeaderLengthV2;
    while (at + 2 <= bytes.size()) {
        uint16_t length = 0;
        std::memcpy(&length, bytes.data() + at, 2);
        if (at + 2 + length + 8 > bytes.size())
            break;
        std::string name = bytes.substr(at + 2, length);
        uint32_t size = 0;
        std::memcpy(&size, bytes.data() + at + 2 + length + 4, 4);
        const size_t data = at + 2 + length + 8;
        if (data + size > bytes.size())
            break;
        if (!name.empty() && name[0] != '\0')
            out.add(name, bytes.substr(data, size));
        at = data + size;
    }
    return out;
}

// The sub-files fill(DVKTar*) writes, taken from a scratch archive in the
// writable data directory; empty when writing failed.
template <typename Fill>
Records collect(Fill&& fill)
{
    static int counter = 0;
    std::error_code error;
    const std::filesystem::path dir = dvkOemWritableDir();
    std::filesystem::create_directories(dir, error);
    const std::string path =
        (dir / ("model_set_part_" + std::to_string(getpid()) + "_" + std::to_string(counter++) + ".dvk")).string();
    DVKTar* tar = DVKTar_OpenForWrite(path.c_str());
    if (tar == nullptr)
        return {};
    const bool filled = fill(tar);
    const bool closed = DVKTar_Close(tar) == 0;
    Records out = filled && closed ? parse(readFile(path)) : Records{};
    std::filesystem::remove(path, error);
    return out;
}

// ---- what a model set holds --------------------------------------------------------

struct VersionSpec {
    bool written = true;
    int32_t format = 2;              // 0, 1 or 2
    int32_t majorVersion = 10;
    int32_t minorVersion = 53;
    int32_t secondMinorVersion = 53;
    int32_t build = 3;
    std::vector<int32_t> typeSizes = {2, 4, 4, 2, 2, 4, 2};
    int32_t mode = 0;
    std::string language = "enus";
    int32_t sampleRate = -1;         // -1: the front end's
    uint32_t properties[2] = {0, 0};
    uint32_t crcs[4] = {0, 0, 0, 0}; // front end, model 0, vocabulary, topology
    std::optional<std::vector<uint8_t>> presence;  // derived from the parts when unset
    int32_t synthesisEncoding = 0;
};

struct DecoderSpec {
    bool present = false;
    int32_t kind = 3;     // the linear-chain decoder
    int32_t option = 0;
};

struct EnrollSpec {
    bool written = true;
    int32_t secondCount = 1;
    int32_t maxLength = 4;
    std::vector<std::vector<uint32_t>> phrases = {{0, 1, 0xFFFFFFFFu}, {2, 0xFFFFFFFFu}};
    std::optional<int32_t> count;   // the number of phrases when unset
};

// The parameter words a created engine reads: queue and choice sizes,
// utterance records, the linear-chain kinds, the plain word store and the
// four end-pointer settings (ms).
inline ParamBlockBuilder defaultParams()
{
    ParamBlockBuilder b = vocabulary_fixture::params();
    b.word(kBrevitParamFrameQueueCapacity, 64)
        .word(kBrevitParamNBestRecords, 8)
        .word(kBrevitParamChoiceWordSlots, 64)
        .word(kBrevitParamUtteranceRecords, 4)
        .word(kBrevitParamLinearChainKinds, 1)
        .word(kBrevitParamCompressedStore, kMWLStorePlain)
        .word(kBrevitParamResetEachUtterance, 1);
    const uint32_t endPointers[8][2] = {{370, 150}, {373, 500}, {368, 0xFFFFFFFFu}, {369, 300},
                                        {362, 100}, {363, 0xFFFFFFFFu}, {371, 250}, {372, 700}};
    for (const auto& [index, value] : endPointers)
        b.word(static_cast<int>(index), value);
    return b;
}

// The generator's front end: c0 at four times FrontEndModel's scale (the
// DCT's c0 shift 13 for 15) with its channel mean moved along. With
// parameter word 526 the level tracker starts from fixed values that such a
// c0 passes at speech levels, so a fresh engine hears speech from its first
// listen (FrontEndModel's own c0 stays below the start for seconds).
inline frontend_model::FrontEndModel generatorFrontEnd()
{
    frontend_model::FrontEndModel m;
    m.sample.dct.c0Shift = 13;
    m.channelNorm.means[0] = m.channelNorm.initialMeans[0] = 24000;
    return m;
}

// One acoustic model over the front end's 39 bytes: two states per phone
// model (tree A's two positions).
inline AcousticModelSpec defaultModel(uint32_t seed = 1)
{
    AcousticModelSpec m;
    m.dim = 39;
    m.seed = seed;
    return m;
}

struct ModelSetSpec {
    VersionSpec version;
    ParamBlockBuilder params = defaultParams();
    frontend_model::FrontEndModel frontEnd = generatorFrontEnd();
    std::array<std::optional<AcousticModelSpec>, 4> models = {defaultModel(), std::nullopt, std::nullopt,
                                                              std::nullopt};
    std::vector<vocabulary_fixture::WordSpec> words = vocabulary_fixture::defaultWords();
    vocabulary_fixture::Options vocabulary;
    std::array<DecoderSpec, 5> decoders = {DecoderSpec{true}, DecoderSpec{true}, DecoderSpec{}, DecoderSpec{},
                                           DecoderSpec{}};
    bool constraintManager = true;
    std::optional<class_store::ModelSetSpec> classes = class_store::ModelSetSpec{};
    std::optional<grammar_file::Spec> grammar;
    EnrollSpec enrollment;
    Records extra;  // appended after everything else
    std::optional<synthesis_voice::VoiceSpec> synthesis;  // its sub-files follow the vocabulary

    std::vector<uint8_t> presence() const
    {
        if (version.presence)
            return *version.presence;
        std::vector<uint8_t> p(13, 0);
        p[0] = synthesis.has_value();
        p[1] = classes.has_value();
        p[2] = constraintManager;
        for (int i = 1; i < 4; ++i)
            p[3 + i] = models[i].has_value();
        for (int n = 0; n < 5; ++n)
            p[7 + n] = decoders[n].present;
        p[12] = grammar.has_value();
        return p;
    }
};

// ---- records -------------------------------------------------------------------------

template <typename Fill>
std::string subFileBytes(Fill&& fill)
{
    Records r = collect([&](DVKTar* tar) {
        BinFileWriter* w = BinFileWriter_Create(tar, "x", nullptr);
        if (w == nullptr)
            return false;
        const bool ok = fill(w);
        return BinFileWriter_Delete(w) == 0 && ok;
    });
    return r.list.empty() ? std::string() : r.list.front().data;
}

inline std::string versionBytes(const ModelSetSpec& s)
{
    const VersionSpec& v = s.version;
    return subFileBytes([&](BinFileWriter* w) {
        auto i = [w](int32_t value) { return BinFileWriter_WriteInt(w, value) == 1; };
        auto counted = [w](const void* bytes, uint32_t n) {
            return BinFileWriter_WriteUnsignedInt(w, n) == 1 && BinFileWriter_WriteRaw(w, n, bytes) == 1;
        };
        char language[4] = {};
        std::memcpy(language, v.language.data(), std::min<size_t>(4, v.language.size()));
        bool ok = true;
        if (v.format == 0) {
            ok = i(v.secondMinorVersion) && counted(language, 4) && i(v.mode);
        } else {
            ok = BinFileWriter_WriteUnsignedInt(w, 0x7fffffff) == 1 && i(v.format) && i(v.majorVersion) &&
                 i(v.minorVersion) && i(v.secondMinorVersion) && i(v.build);
            if (v.format == 2)
                for (int32_t size : v.typeSizes)
                    ok = ok && i(size);
            ok = ok && i(v.mode) && counted(language, 4);
        }
        const std::vector<uint8_t> presence = s.presence();
        ok = ok && i(v.sampleRate >= 0 ? v.sampleRate : s.frontEnd.config.sampleRate);
        for (uint32_t word : v.properties)
            ok = ok && BinFileWriter_WriteUnsignedInt(w, word) == 1;
        for (uint32_t word : v.crcs)
            ok = ok && BinFileWriter_WriteUnsignedInt(w, word) == 1;
        return ok && counted(presence.data(), static_cast<uint32_t>(presence.size())) && i(v.synthesisEncoding);
    });
}

inline std::string enrollBytes(const EnrollSpec& e)
{
    return subFileBytes([&](BinFileWriter* w) {
        const int32_t count = e.count.value_or(static_cast<int32_t>(e.phrases.size()));
        bool ok = BinFileWriter_WriteInt(w, count) == 1 && BinFileWriter_WriteInt(w, e.secondCount) == 1 &&
                  BinFileWriter_WriteInt(w, e.maxLength) == 1;
        for (const std::vector<uint32_t>& phrase : e.phrases)
            ok = ok && BinFileWriter_WriteArray(w, phrase.data(), static_cast<uint32_t>(phrase.size()), 4) == 1;
        return ok;
    });
}

inline const char* kModelTags[4] = {"ba0", "ba1", "ba5", "ba6"};

// Every sub-file the model set holds, in the order creation reads them.
inline Records records(const ModelSetSpec& s)
{
    Records out;
    if (s.version.written)
        out.add("brevitversion", versionBytes(s));
    out.append(collect([&](DVKTar* tar) { return s.params.write(tar); }));
    out.append(collect([&](DVKTar* tar) { return frontend_model::writeFrontEnd(tar, s.frontEnd); }));
    for (int i = 0; i < 4; ++i)
        if (s.models[i])
            out.append(collect([&](DVKTar* tar) {
                return writeAcousticRecords(tar, acousticModelRecords(*s.models[i]), kModelTags[i]);
            }));
    out.append(collect([&](DVKTar* tar) { return vocabulary_fixture::write(tar, s.words, s.vocabulary); }));
    if (s.synthesis)
        out.append(collect([&](DVKTar* tar) { return synthesis_voice::writeVoice(tar, *s.synthesis); }));
    for (int n = 0; n < 5; ++n)
        if (s.decoders[n].present)
            out.add("bdec" + std::to_string(n) + "/bd0", subFileBytes([&](BinFileWriter* w) {
                        return BinFileWriter_WriteInt(w, s.decoders[n].kind) == 1 &&
                               BinFileWriter_WriteInt(w, s.decoders[n].option) == 1;
                    }));
    if (s.classes)
        out.add("bcm1", subFileBytes([&](BinFileWriter* w) { return class_store::modelSetRecords(*s.classes).write(w); }));
    if (s.grammar)
        out.add("grm1", subFileBytes([&](BinFileWriter* w) { return grammar_file::records(*s.grammar).write(w); }));
    if (s.enrollment.written)
        out.add("ber0", enrollBytes(s.enrollment));
    out.append(s.extra);
    return out;
}

inline std::string image(const ModelSetSpec& s) { return image(records(s)); }

} // namespace model_set
