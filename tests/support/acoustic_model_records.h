// Acoustic model files for tests, benchmarks and fuzz seeds: an AcousticModelSpec (sizes, covariance
// type, storage form, optional blocks) becomes the list of typed records of a
// model sub-file, each named by the loading step it belongs to ("5.numStates",
// "29.means"), so a test can change, drop or cut records before writing them
// into an archive. Values the description leaves open are seeded; what follows from
// the sizes (offsets, row counts, sorted model-to-state rows) is derived.
// acoustic_model_writer.h writes them into a test's fixture archive.
//
// Header-only: it calls the engine runtime, which the shared support library
// does not link.
#pragma once

#include "core/brevit/runtime/bin_file_writer.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

// One typed record: a 4-byte word, a counted array or a counted string.
struct AcousticRecord {
    enum Kind { Word, Array, String };
    std::string name;
    Kind kind = Word;
    int32_t word = 0;
    uint32_t elementSize = 1;
    std::vector<uint8_t> bytes;
    std::string text;

    uint32_t count() const { return static_cast<uint32_t>(bytes.size() / elementSize); }
};

class AcousticModelRecords {
public:
    std::vector<AcousticRecord> records;

    void word(const std::string& name, int32_t value)
    {
        AcousticRecord r;
        r.name = name;
        r.word = value;
        records.push_back(r);
    }

    template <typename T>
    void array(const std::string& name, const std::vector<T>& values)
    {
        AcousticRecord r;
        r.name = name;
        r.kind = AcousticRecord::Array;
        r.elementSize = sizeof(T);
        r.bytes.resize(values.size() * sizeof(T));
        if (!values.empty())
            std::memcpy(r.bytes.data(), values.data(), r.bytes.size());
        records.push_back(r);
    }

    void string(const std::string& name, const std::string& text)
    {
        AcousticRecord r;
        r.name = name;
        r.kind = AcousticRecord::String;
        r.text = text;
        records.push_back(r);
    }

    bool has(const std::string& name) const { return find(name) != records.size(); }

    // Throws std::out_of_range for a name that is not there.
    size_t index(const std::string& name) const
    {
        const size_t i = find(name);
        if (i == records.size())
            throw std::out_of_range("no record " + name);
        return i;
    }

    AcousticRecord& at(const std::string& name) { return records.at(index(name)); }

    // Replaces a word record's value.
    AcousticModelRecords& set(const std::string& name, int32_t value)
    {
        at(name).word = value;
        return *this;
    }

    // Replaces an array record's elements (element size from T).
    template <typename T>
    AcousticModelRecords& setArray(const std::string& name, const std::vector<T>& values)
    {
        AcousticRecord& r = at(name);
        r.elementSize = sizeof(T);
        r.bytes.resize(values.size() * sizeof(T));
        if (!values.empty())
            std::memcpy(r.bytes.data(), values.data(), r.bytes.size());
        return *this;
    }

    AcousticModelRecords& drop(const std::string& name)
    {
        records.erase(records.begin() + static_cast<std::ptrdiff_t>(index(name)));
        return *this;
    }

    // Keeps the first count records.
    AcousticModelRecords& cut(size_t count)
    {
        records.resize(std::min(count, records.size()));
        return *this;
    }

    bool write(BinFileWriter* w) const
    {
        bool ok = true;
        for (const AcousticRecord& r : records) {
            switch (r.kind) {
            case AcousticRecord::Word:
                ok = ok && BinFileWriter_WriteInt(w, r.word) == 1;
                break;
            case AcousticRecord::Array:
                ok = ok && BinFileWriter_WriteArray(w, r.bytes.empty() ? nullptr : r.bytes.data(),
                                                    r.count(), r.elementSize) == 1;
                break;
            case AcousticRecord::String:
                ok = ok && BinFileWriter_WriteString(w, r.text.c_str()) == 1;
                break;
            }
        }
        return ok;
    }

private:
    size_t find(const std::string& name) const
    {
        for (size_t i = 0; i < records.size(); ++i)
            if (records[i].name == name)
                return i;
        return records.size();
    }
};

// The stored state-tying tree. Roots are (first node, node count, leaf base).
struct AcousticTreeSpec {
    int32_t phones = 0;
    int32_t positions = 1;
    int32_t maxStateId = 0;
    bool compressed = false;
    bool shared = false;
    bool children16 = false;
    bool contextVector = false;
    std::vector<int16_t> no, yes;
    std::vector<uint8_t> questionIndex;
    std::vector<uint8_t> slots;        // context-vector mode
    std::vector<uint8_t> sideBits;     // compressed questions
    std::vector<uint8_t> centreBits;   // shared roots
    std::vector<int16_t> sharedMap;
    std::vector<std::array<int32_t, 3>> roots;
    int32_t bytesPerQuestion = 1;
    int32_t bitsPerQuestion = 8;
    int32_t bitOffset = 0;
    std::vector<uint8_t> questionBits;

    // No roots: the model has no tree.
    static AcousticTreeSpec none() { return AcousticTreeSpec{}; }

    // Three phones, two positions, plain questions over 8-bit rows.
    static AcousticTreeSpec treeA()
    {
        AcousticTreeSpec t;
        t.phones = 3;
        t.positions = 2;
        t.maxStateId = 7;
        t.roots = {{0, 0, 0}, {0, 0, 0}, {0, 1, 1}, {0, 0, 3}, {1, 2, 4}, {0, 0, 7}};
        t.questionIndex = {0, 1, 0};
        t.no = {0, -1, 1};
        t.yes = {1, 0, 2};
        t.questionBits = {0x24, 0x40};
        return t;
    }

    // Compressed questions over 3-bit rows, shared roots, 16-bit children.
    static AcousticTreeSpec treeB()
    {
        AcousticTreeSpec t;
        t.phones = 3;
        t.positions = 2;
        t.maxStateId = 4;
        t.compressed = true;
        t.shared = true;
        t.children16 = true;
        t.sharedMap = {0, 1, 1};
        t.roots = {{0, 0, 0}, {0, 0, 0}, {0, 2, 1}, {0, 0, 4}};
        t.questionIndex = {0, 1};
        t.no = {0, 1};
        t.yes = {-1, 2};
        t.sideBits = {0x02};
        t.centreBits = {0x01};
        t.bitsPerQuestion = 3;
        t.questionBits = {0x04, 0x02};
        return t;
    }

    // Context-vector form: one phone, two positions.
    static AcousticTreeSpec treeC()
    {
        AcousticTreeSpec t;
        t.phones = 1;
        t.positions = 2;
        t.maxStateId = 20;
        t.contextVector = true;
        t.roots = {{0, 2, 10}, {0, 0, 20}};
        t.questionIndex = {0, 1};
        t.no = {0, 1};
        t.yes = {-1, 2};
        t.slots = {1, 0};
        t.questionBits = {0x81, 0x04};
        return t;
    }

    void append(AcousticModelRecords& r) const
    {
        const int32_t nodes = static_cast<int32_t>(no.size());
        r.word("30.leading", phones);
        r.word("30.phones", phones);
        r.word("30.maxStateId", maxStateId);
        r.word("30.reserved1", 0);
        r.word("30.nodes", nodes);
        r.word("30.rootCount", static_cast<int32_t>(roots.size()));
        r.word("30.reserved2", 0);
        r.word("30.reserved3", 0);
        r.word("30.positions", positions);
        r.word("30.compressed", compressed);
        r.word("30.shared", shared);
        r.word("30.children16", children16);
        r.word("30.contextVector", contextVector);
        r.word("30.reserved4", 0);
        if (children16) {
            r.array("30.no", no);
            r.array("30.yes", yes);
        } else {
            r.array("30.no", narrow(no));
            r.array("30.yes", narrow(yes));
        }
        r.array("30.questionIndex", questionIndex);
        if (contextVector)
            r.array("30.slots", slots);
        else if (compressed)
            r.array("30.sideBits", sideBits);
        if (shared) {
            r.array("30.centreBits", centreBits);
            r.array("30.sharedMap", sharedMap);
        }
        for (size_t i = 0; i < roots.size(); ++i) {
            const std::string n = "30.root" + std::to_string(i);
            r.word(n + ".first", roots[i][0]);
            r.word(n + ".count", roots[i][1]);
            r.word(n + ".base", roots[i][2]);
        }
        r.word("30.totalBytes", static_cast<int32_t>(questionBits.size()));
        r.word("30.bitOffset", bitOffset);
        r.word("30.questions",
               bytesPerQuestion > 0 ? static_cast<int32_t>(questionBits.size()) / bytesPerQuestion
                                    : 0);
        r.word("30.bytesPerQuestion", bytesPerQuestion);
        r.word("30.bitsPerQuestion", bitsPerQuestion);
        r.array("30.questionBits", questionBits);
    }

private:
    static std::vector<int8_t> narrow(const std::vector<int16_t>& v)
    {
        std::vector<int8_t> out;
        for (int16_t x : v)
            out.push_back(static_cast<int8_t>(x));
        return out;
    }
};

// How component means (and their weights) are stored.
enum class AcousticStorage { Bytes, InnerProduct, HareTurtle };

struct AcousticVQSpec {
    int32_t codebookSize = 2;
    int32_t elementCount = 8;      // codeword bytes (32-bit words x 4 with inner-product VQ)
    bool clustered = false;
    bool innerProduct = false;
    int32_t norms = 4;             // inner-product VQ: 16-bit norms
    int32_t offset = 0;
    int32_t multiplier = 1;
    int32_t shift = 0;
    // Given tables; the defaults above are used when empty.
    std::vector<int32_t> dimensionBounds, codewordBounds, codebookOffsets;
    std::vector<uint8_t> codebook;     // bytes (four per word with inner-product VQ)
    std::vector<uint16_t> normTable;
    std::vector<uint8_t> labels;       // streams per component

    // Six streams of four dimensions with 256 codewords each (24 dimensions),
    // the form of the packed precompute; codebook and labels left to fill.
    static AcousticVQSpec sixStreamsOfFour(bool innerProduct, bool clustered)
    {
        AcousticVQSpec v;
        v.codebookSize = 6;
        v.elementCount = 6 * 256 * 4;
        v.innerProduct = innerProduct;
        v.clustered = clustered;
        v.norms = 0;   // computed at load from the packed codewords
        for (int32_t k = 0; k <= 6; ++k) {
            v.dimensionBounds.push_back(4 * k);
            v.codewordBounds.push_back(256 * k);
            v.codebookOffsets.push_back(1024 * k);
        }
        return v;
    }
};

struct AcousticModelSpec {
    bool noParameters = false;
    int32_t states = 8;
    int32_t componentsPerState = 2;
    std::vector<uint32_t> offsets;     // derived from componentsPerState when empty
    bool offsets32 = false;
    bool singleComponent = false;
    int32_t dim = 36;
    int32_t scoringDim = -1;           // dim when negative
    int32_t covType = 4;
    AcousticStorage storage = AcousticStorage::Bytes;
    bool fourBitMeans = false;
    bool fourBitWeights = false;
    bool byteWeights = false;
    bool laplacian = false;
    bool threshold = false;
    bool backoff = false;
    int32_t nonEst = 0;
    bool companions = true;            // inner-product companions
    int32_t htLength = 18;
    int32_t scoredStates = -1;         // states when negative
    int32_t firstAdaptableState = 0;
    int32_t multiplier = 100;
    int32_t partialThreshold = 0;
    int32_t backoffPenalty = 0;
    int32_t rounding = 128;
    int32_t shift = 6;
    int16_t ceiling = 16000;
    int32_t distanceCeiling = 32767;
    uint8_t lowFeature = 0;
    uint8_t highFeature = 255;
    uint8_t minConverted = 0;
    uint8_t maxConverted = 255;
    bool conversion = false;
    int32_t conversionShift = 0;
    int32_t conversionOffset = 0;
    uint16_t silenceState = 0;
    uint16_t silenceModel = 0;
    uint16_t fillerState = 65535;
    bool hasFiller = false;
    bool silenceUsesFiller = false;
    int16_t garbageOffset = 0;
    bool warpIndexSet = false;
    int32_t warpIndex = 0;
    uint32_t modelConstant1 = 0x12345678;
    uint32_t modelConstant2 = 0x9ABCDEF0;
    bool secondConstant = false;
    bool modelOption = false;
    bool adaptable = false;
    // Adaptation words: MAP enable, the fixed-point weight of one frame,
    // the posterior weight table indexed by score difference, the largest
    // inverse variance, the variance scale, restriction to base states and
    // filler accumulation.
    bool mapEnable = false;
    int32_t countUnit = 5;
    std::vector<uint16_t> posteriorWeights = {0, 1, 2};
    uint16_t largestInvVariance = 77;
    int32_t varianceScale = 1;
    bool baseStatesOnly = false;
    bool fillerAccumulation = false;
    bool daMode = false;
    bool phonemeRecognition = true;
    uint32_t seed = 1;

    // Values; seeded when empty. Means: K x mean-row stride bytes (or the
    // inner-product / Hare-Turtle words); weights: rows x stride elements.
    std::vector<uint8_t> means;
    std::vector<uint32_t> weights;
    std::vector<int32_t> constants;
    std::vector<std::vector<uint16_t>> modelRows;  // derived from tree A when empty
    // Hare/Turtle arrays and inner-product companions; seeded when empty.
    std::vector<uint32_t> htValues, htVectors, htWeights;
    std::vector<int32_t> companions1, companions2;

    // Optional blocks.
    bool unscaling = false;
    bool tiedTable = false;
    bool triphoneIndex = false;
    // Full-table entries; a pattern of state (model) ids when empty.
    std::vector<uint16_t> tiedTableEntries;
    std::vector<uint16_t> triphoneIndexEntries;
    // Phoneme names; "sil", "ph1", "ph2", ... when empty.
    std::vector<std::string> phonemeNames;
    bool componentBytes = false;
    bool stateBytes = false;
    int32_t auxLength = 0;
    bool vq = false;
    AcousticVQSpec vqSpec;
    bool mllr = false;
    int32_t mllrExtra = -1;
    // The MLLR block: prior weight numerator and denominator, class count,
    // prior on, identity prior, inverse regression, a class per state
    // (signed bytes; class 1 for every state when empty).
    int32_t mllrNumerator = 1;
    int32_t mllrDenominator = 2;
    int32_t mllrClassCount = 3;
    bool mllrPrior = false;
    bool mllrIdentityPrior = false;
    int32_t mllrInverse = 4;
    std::vector<int8_t> mllrClasses;            // with parameter word 700: the extra array's count - 1
    bool dynamicSilence = false;
    bool addedModels = false;
    // Added phones follow the phonemes; each gets the row of its added
    // states after the trained rows, and the scored states cover them.
    int32_t addedPhones = 2;
    int32_t addedBase = -1;            // the phoneme count when negative
    int32_t addedLast = -1;            // base + addedPhones - 1 when negative
    bool addedRows = true;
    bool shortlist = false;
    int32_t shortlistClusters = 2;
    std::vector<uint8_t> shortlistCentroids;   // clusters x dimension; seeded when empty
    std::vector<uint8_t> shortlistEntries;     // clusters x ceil(states / 2); 0x10 when empty
    std::vector<uint8_t> silenceInitialMean;   // 60 in every dimension when empty
    std::vector<uint8_t> silenceCurrentMean;   // 50 in every dimension when empty
    AcousticTreeSpec tree = AcousticTreeSpec::treeA();

    int32_t components() const
    {
        if (!offsets.empty())
            return static_cast<int32_t>(offsets.back());
        return singleComponent ? states : states * componentsPerState;
    }
    int32_t meanStride() const { return fourBitMeans ? (dim + 1) / 2 : dim; }
    int32_t varStride() const { return fourBitWeights ? (dim + 1) / 2 : dim; }
    int32_t varRows() const
    {
        switch (covType) {
        case 2:
            return 1;
        case 3:
            return states;
        case 4:
            return components();
        default:
            return 0;
        }
    }
};

namespace acoustic_writer_detail {

inline uint32_t next(uint32_t& state)
{
    state = state * 1103515245u + 12345u;
    return (state >> 8) & 0xFFFFFF;
}

inline std::vector<std::vector<uint16_t>> defaultRows(int32_t states)
{
    std::vector<std::vector<uint16_t>> rows = {{0, 0}, {1, 3}, {2, 3}, {4, 7}, {5, 7}, {6, 7}};
    for (auto& row : rows)
        for (auto& s : row)
            s = static_cast<uint16_t>(s % std::max(states, 1));
    return rows;
}

} // namespace acoustic_writer_detail

// The records of one model sub-file.
inline AcousticModelRecords acousticModelRecords(const AcousticModelSpec& spec)
{
    using namespace acoustic_writer_detail;
    AcousticModelRecords r;
    uint32_t seed = spec.seed;
    r.word("2.noParameters", spec.noParameters);
    if (spec.noParameters)
        return r;
    const int32_t S = spec.states;
    const int32_t K = spec.components();
    const int32_t D = spec.dim;
    const int32_t M = spec.meanStride();
    const bool ip = spec.storage == AcousticStorage::InnerProduct;
    const bool ht = spec.storage == AcousticStorage::HareTurtle;
    std::vector<std::vector<uint16_t>> rows =
        spec.modelRows.empty() ? defaultRows(S) : spec.modelRows;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    const int32_t perModel = rows.empty() ? 2 : static_cast<int32_t>(rows[0].size());
    const int32_t addedBase =
        spec.addedBase >= 0 ? spec.addedBase : (spec.tree.phones > 0 ? spec.tree.phones : 3);
    const int32_t addedLast = spec.addedLast >= 0 ? spec.addedLast : addedBase + spec.addedPhones - 1;
    const int32_t addedStates = spec.addedModels ? perModel * std::max(addedLast - addedBase + 1, 0) : 0;
    if (spec.addedModels && spec.addedRows)
        for (int32_t p = addedBase; p <= addedLast; ++p) {
            std::vector<uint16_t> row;
            for (int32_t s = 0; s < perModel; ++s)
                row.push_back(static_cast<uint16_t>(S + perModel * (p - addedBase) + s));
            rows.push_back(row);
        }
    const int32_t scored = spec.scoredStates < 0 ? S + addedStates : spec.scoredStates;

    r.word("3.mllr", spec.mllr);
    r.word("3.adaptable", spec.adaptable);
    r.word("3.fastDecoderOption", spec.mapEnable);
    r.word("3.vq", spec.vq);
    r.word("3.daMode", spec.daMode);
    r.word("3.shortlist", spec.shortlist);
    r.word("3.phonemeRecognition", spec.phonemeRecognition);
    r.word("3.addedModels", spec.addedModels);
    r.word("3.modelOption", spec.modelOption);
    r.word("3.innerProduct", ip);
    r.word("3.hareTurtle", ht);
    r.word("4.fastDecoderValue", 3);
    r.word("4.nonEst", spec.nonEst);
    r.word("4.threshold", spec.threshold);
    r.word("4.backoff", spec.backoff);
    r.word("5.multiplier", spec.multiplier);
    r.word("5.partialThreshold", spec.partialThreshold);
    r.word("5.backoffPenalty", spec.backoffPenalty);
    r.word("5.numStates", S);
    r.word("5.scoredStates", scored);
    r.word("5.firstAdaptableState", spec.firstAdaptableState);
    r.word("6.value1", 11);
    r.word("6.value2", 12);
    r.word("6.value3", 13);
    r.word("6.statesPerModel", perModel);
    r.word("6.featureDim", D);
    r.word("6.scoringDim", spec.scoringDim < 0 ? D : spec.scoringDim);
    r.word("7.fourBitMeans", spec.fourBitMeans);
    r.word("7.fourBitWeights", spec.fourBitWeights);
    r.word("7.byteWeights", spec.byteWeights);
    r.word("8.meanStride", M);
    r.word("8.varStride", spec.varStride());
    r.word("8.ipStride", (D + 3) / 4);
    r.word("8.htLength", ht ? spec.htLength : 0);
    r.word("9.ceiling", spec.ceiling);
    r.word("9.distanceCeiling", spec.distanceCeiling);
    r.word("9.components", K);
    r.word("10.varRows", spec.varRows());
    r.word("10.rounding", spec.rounding);
    r.word("10.shift", spec.shift);
    r.word("10.invVarScale", spec.varianceScale);
    r.word("11.covType", spec.covType);
    r.word("12.tiedStateOption", spec.tiedTable);
    r.word("12.fullTiedTable", spec.tiedTable);
    r.word("12.fullTiedTableLength",
           !spec.tiedTable ? 0
           : spec.tiedTableEntries.empty() ? 27 * perModel
                                           : static_cast<int32_t>(spec.tiedTableEntries.size()));
    r.word("13.triphoneIndex", spec.triphoneIndex);
    r.word("13.triphoneIndexLength",
           !spec.triphoneIndex ? 0
           : spec.triphoneIndexEntries.empty()
               ? 27
               : static_cast<int32_t>(spec.triphoneIndexEntries.size()));
    r.word("13.phoneModels", static_cast<int32_t>(rows.size()));
    r.word("13.silenceState", spec.silenceState);
    r.word("13.silenceModel", spec.silenceModel);
    r.word("13.specialPhoneme", 0);
    r.word("13.specialStateCount", 1);
    r.word("14.modelConstant1", static_cast<int32_t>(spec.modelConstant1));
    r.word("14.adaptationValue", spec.countUnit);
    r.word("14.phoneListCount", static_cast<int32_t>(spec.posteriorWeights.size()));
    r.word("15.frameFlag", 0);
    r.word("15.bestScore", 0);
    r.word("15.bestState", 65535);
    r.word("15.laplacian", spec.laplacian);
    r.word("15.crcFlag", 1);
    r.word("15.globalVariance", spec.largestInvVariance);
    r.word("16.lowFeature", spec.lowFeature);
    r.word("16.highFeature", spec.highFeature);
    r.word("16.minConverted", spec.minConverted);
    r.word("16.maxConverted", spec.maxConverted);
    r.word("17.conversion", spec.conversion);
    r.word("17.spare", 9);
    r.word("17.conversionShift", spec.conversionShift);
    r.word("17.conversionOffset", spec.conversionOffset);
    r.word("18.filler", spec.hasFiller);
    r.word("18.companions", spec.companions);
    r.word("18.stateBytes", spec.stateBytes);
    r.word("18.unscaling", spec.unscaling);
    r.word("18.featureMask", 0);
    r.word("18.sixth", spec.fillerAccumulation);
    r.word("19.value", 21);
    r.word("19.phonemes", spec.tree.phones > 0 ? spec.tree.phones : 3);
    r.word("19.auxLength", spec.auxLength);
    r.word("19.unscalingShift", spec.unscaling ? 4 : 0);
    r.word("19.unscalingOffset", spec.unscaling ? 8 : 0);
    r.word("19.unscalingValue", 0);
    if (spec.unscaling) {
        std::vector<int32_t> base(static_cast<size_t>(D)), scale(static_cast<size_t>(D));
        for (int32_t d = 0; d < D; ++d) {
            base[static_cast<size_t>(d)] = d * 10;
            scale[static_cast<size_t>(d)] = d + 1;
        }
        r.array("20.unscaleBase", base);
        r.array("20.unscaleScale", scale);
    }
    r.word("21.fillerState", spec.fillerState);
    r.word("21.dynamicSilence", spec.dynamicSilence);
    r.word("21.silenceUsesFiller", spec.silenceUsesFiller);
    r.word("21.garbageOffset", spec.garbageOffset);
    r.word("21.flag", spec.baseStatesOnly);
    r.word("21.warpIndexSet", spec.warpIndexSet);
    r.word("21.warpIndex", spec.warpIndex);
    r.word("21.secondConstant", spec.secondConstant);
    r.word("21.singleComponent", spec.singleComponent);
    r.word("21.modelConstant2", static_cast<int32_t>(spec.modelConstant2));
    r.word("21.componentBytes", spec.componentBytes);
    r.word("21.offsets32", spec.offsets32);
    // step 22
    if (!spec.singleComponent) {
        std::vector<uint32_t> offsets = spec.offsets;
        if (offsets.empty())
            for (int32_t s = 0; s <= S; ++s)
                offsets.push_back(static_cast<uint32_t>(s * spec.componentsPerState));
        if (spec.offsets32) {
            r.array("22.offsets", offsets);
        } else {
            std::vector<uint16_t> narrow(offsets.begin(), offsets.end());
            r.array("22.offsets", narrow);
        }
    }
    // step 23, 24
    const int32_t rowCount = spec.varRows();
    const int32_t n = spec.covType == 5 ? 0 : rowCount * spec.varStride();
    std::vector<uint32_t> weights = spec.weights;
    if (weights.empty())
        for (int32_t i = 0; i < n; ++i)
            weights.push_back(1 + next(seed) % (spec.fourBitWeights ? 15 : 255));
    if (!ht) {
        std::vector<uint16_t> w16;
        std::vector<uint8_t> w8;
        std::vector<uint32_t> w32;
        if (ip && spec.laplacian)
            w32 = weights;
        else if (!spec.byteWeights)
            w16.assign(weights.begin(), weights.end());
        else
            w8.assign(weights.begin(), weights.end());
        r.array("23.invVar16", w16);
        r.array("23.invVarByte", w8);
        r.array("23.var32", w32);
    }
    std::vector<int32_t> constants = spec.constants;
    if (constants.empty() && spec.covType != 5)
        for (int32_t i = 0; i < rowCount; ++i)
            constants.push_back(static_cast<int32_t>(next(seed) % 1000));
    r.array("24.rowConstants", constants);
    // step 25 to 28
    if (spec.tiedTable) {
        std::vector<uint16_t> table(static_cast<size_t>(27 * perModel));
        for (size_t i = 0; i < table.size(); ++i)
            table[i] = static_cast<uint16_t>(i % static_cast<size_t>(S));
        r.array("25.fullTiedTable", spec.tiedTableEntries.empty() ? table : spec.tiedTableEntries);
    }
    if (spec.triphoneIndex) {
        std::vector<uint16_t> index(27);
        for (size_t i = 0; i < index.size(); ++i)
            index[i] = static_cast<uint16_t>(i % rows.size());
        r.array("25.triphoneIndex",
                spec.triphoneIndexEntries.empty() ? index : spec.triphoneIndexEntries);
    }
    std::vector<uint16_t> flat;
    for (const auto& row : rows)
        flat.insert(flat.end(), row.begin(), row.end());
    r.array("26.modelToState", flat);
    const int32_t phonemes = spec.tree.phones > 0 ? spec.tree.phones : 3;
    r.word("27.nameCount", phonemes);
    r.word("27.value1", 1);
    r.word("27.value2", 2);
    r.word("27.short", 3);
    r.word("27.word", 4);
    for (int32_t p = 0; p < phonemes; ++p)
        r.string("27.name" + std::to_string(p),
                 p < static_cast<int32_t>(spec.phonemeNames.size())
                     ? spec.phonemeNames[static_cast<size_t>(p)]
                     : (p == 0 ? "sil" : "ph" + std::to_string(p)));
    r.array("28.phoneList", spec.posteriorWeights);
    if (spec.componentBytes) {
        std::vector<uint8_t> bytes(static_cast<size_t>(K));
        for (auto& b : bytes)
            b = static_cast<uint8_t>(next(seed));
        r.array("28.componentBytes", bytes);
    }
    if (spec.stateBytes)
        r.array("28.stateBytes", std::vector<uint8_t>(static_cast<size_t>(S), 7));
    r.array("28.aux", std::vector<int32_t>(static_cast<size_t>(spec.auxLength), 3));
    // step 29
    const size_t meanBytes = static_cast<size_t>(K) * static_cast<size_t>(M);
    std::vector<uint8_t> means = spec.means;
    if (means.empty())
        for (size_t i = 0; i < meanBytes; ++i)
            means.push_back(static_cast<uint8_t>(next(seed) % (spec.fourBitMeans ? 256 : 200)));
    means.resize(meanBytes);
    std::vector<uint32_t> words(meanBytes / 4);
    if (!words.empty())
        std::memcpy(words.data(), means.data(), words.size() * 4);
    if (ht) {
        std::vector<uint32_t> values(static_cast<size_t>(K)), vectors;
        for (auto& v : values)
            v = next(seed);
        for (int32_t i = 0; i < K * spec.htLength; ++i)
            vectors.push_back(next(seed) & 0x00FF00FF);
        std::vector<uint32_t> weightWords(meanBytes / 4);
        for (auto& w : weightWords)
            w = 0x01010101u * (1 + next(seed) % 15);
        r.array("29.htValues", spec.htValues.empty() ? values : spec.htValues);
        r.array("29.htVectors", spec.htVectors.empty() ? vectors : spec.htVectors);
        r.array("29.htWeights", spec.htWeights.empty() ? weightWords : spec.htWeights);
    } else if (ip) {
        r.array("29.ipMeans", words);
        const bool first = spec.companions && !spec.laplacian;
        const bool second = spec.threshold && !spec.laplacian;
        std::vector<int32_t> c32;
        std::vector<int16_t> c16;
        for (int32_t i = 0; i < K; ++i) {
            c32.push_back(static_cast<int32_t>(next(seed) % 10000));
            c16.push_back(static_cast<int16_t>(next(seed) % 1000));
        }
        std::vector<int32_t> given1 = spec.companions1.empty() ? c32 : spec.companions1;
        std::vector<int32_t> given2 = spec.companions2.empty() ? c32 : spec.companions2;
        if (spec.fourBitMeans) {
            const std::vector<int16_t> n1(given1.begin(), given1.end());
            const std::vector<int16_t> n2(given2.begin(), given2.end());
            r.array("29.companions1", first ? n1 : std::vector<int16_t>{});
            r.array("29.companions2", second ? n2 : std::vector<int16_t>{});
        } else {
            r.array("29.companions1", first ? given1 : std::vector<int32_t>{});
            r.array("29.companions2", second ? given2 : std::vector<int32_t>{});
        }
    } else {
        r.array("29.means", means);
    }
    spec.tree.append(r);
    // step 31
    if (spec.vq) {
        const AcousticVQSpec& v = spec.vqSpec;
        r.word("31.codebookSize", v.codebookSize);
        r.word("31.second", v.innerProduct ? v.norms : 0);
        r.word("31.elementCount", v.elementCount);
        r.word("31.flag1", 0);
        r.word("31.flag2", 0);
        r.word("31.flag3", 0);
        r.word("31.value", 0);
        r.word("31.flag4", 0);
        r.word("31.clustered", v.clustered);
        r.word("31.innerProductVQ", v.innerProduct);
        r.word("31.offset", v.offset);
        r.word("31.multiplier", v.multiplier);
        r.word("31.shift", v.shift);
        if (v.innerProduct) {
            std::vector<uint32_t> words(static_cast<size_t>(v.elementCount / 4), 0x01020304u);
            if (!v.codebook.empty())
                std::memcpy(words.data(), v.codebook.data(), std::min(words.size() * 4, v.codebook.size()));
            r.array("31.codewords", words);
            r.array("31.norms", v.normTable.empty() ? std::vector<uint16_t>(static_cast<size_t>(v.norms), 9) : v.normTable);
        } else {
            r.array("31.codewords", v.codebook.empty() ? std::vector<uint8_t>(static_cast<size_t>(v.elementCount), 5)
                                                       : v.codebook);
        }
        std::vector<int32_t> bounds;
        for (int32_t i = 0; i <= v.codebookSize; ++i)
            bounds.push_back(i);
        r.array("31.dimensionBounds", v.dimensionBounds.empty() ? bounds : v.dimensionBounds);
        r.array("31.codewordBounds", v.codewordBounds.empty() ? bounds : v.codewordBounds);
        r.array("31.codebookOffsets", v.codebookOffsets.empty() ? bounds : v.codebookOffsets);
        r.array("31.labels", v.labels.empty() ? std::vector<uint8_t>(static_cast<size_t>(v.codebookSize) *
                                                                         static_cast<size_t>(K), 0)
                                              : v.labels);
    }
    // step 32
    if (spec.mllr) {
        r.word("32.value1", spec.mllrNumerator);
        r.word("32.value2", spec.mllrDenominator);
        r.word("32.value3", spec.mllrClassCount);
        r.word("32.flag1", spec.mllrPrior);
        r.word("32.twoClasses", 0);
        r.word("32.flag3", spec.mllrIdentityPrior);
        r.word("32.value4", spec.mllrInverse);
        r.word("32.applied", 1);
        r.word("32.featureFlag1", 0);
        r.word("32.flagB", 0);
        r.word("32.flagC", 0);
        r.word("32.featureFlag2", 0);
        if (spec.mllrClasses.empty())
            r.array("32.classes", std::vector<uint8_t>(static_cast<size_t>(S), 1));
        else
            r.array("32.classes", spec.mllrClasses);
        if (spec.mllrExtra >= 0) {
            r.word("32.extraCount", spec.mllrExtra);
            r.array("32.extra", std::vector<int32_t>(static_cast<size_t>(spec.mllrExtra) + 1, 2));
        }
    }
    // step 33
    if (spec.dynamicSilence) {
        r.word("33.ringWriteIndex", 0);
        r.word("33.ringSize", 0);
        r.word("33.shift", 2);
        r.array("33.currentMean", spec.silenceCurrentMean.empty() ? std::vector<uint8_t>(static_cast<size_t>(D), 50)
                                                                  : spec.silenceCurrentMean);
        r.array("33.initialMean", spec.silenceInitialMean.empty() ? std::vector<uint8_t>(static_cast<size_t>(D), 60)
                                                                  : spec.silenceInitialMean);
        r.array("33.values", std::vector<uint16_t>(static_cast<size_t>(D), 1));
    }
    if (spec.addedModels) {
        r.word("34.value1", addedBase);
        r.word("34.value2", addedLast);
    }
    // step 35
    if (spec.shortlist) {
        const int32_t clusters = spec.shortlistClusters;
        const int32_t rowLength = (S + 1) / 2;
        r.word("35.centroidLength", D);
        r.word("35.clusters", clusters);
        r.word("35.rowLength", rowLength);
        r.array("35.entries", spec.shortlistEntries.empty()
                                  ? std::vector<uint8_t>(static_cast<size_t>(clusters * rowLength), 0x10)
                                  : spec.shortlistEntries);
        std::vector<uint8_t> centroids = spec.shortlistCentroids;
        const bool seeded = centroids.empty();
        for (int32_t i = 0; seeded && i < clusters * D; ++i)
            centroids.push_back(static_cast<uint8_t>(next(seed)));
        r.array("35.centroids", centroids);
    }
    return r;
}

// The adapted-parameter sub-file ("bamp0", "bamp1", "bamp2") record by
// record, each named by its place in the file ("1.adapted", "2.ipMeans",
// "13.phoneMarks"): the adapted flag, when adapted the arrays of the model's
// mean form, with added phones their eight arrays, then the warp flag, the
// warp index and the MLLR word. An array left empty is written with count 0.
struct AdaptedParametersSpec {
    bool adapted = false;
    AcousticStorage storage = AcousticStorage::Bytes;
    std::vector<uint8_t> means;                     // byte form
    std::vector<uint32_t> ipMeans;                  // inner-product form
    std::vector<int16_t> first16, second16;
    std::vector<int32_t> first32, second32;
    std::vector<uint32_t> htValues, htVectors;      // Hare/Turtle form
    bool addedModels = false;
    std::vector<uint32_t> addedIpMeans;
    std::vector<uint8_t> addedMeans;
    std::vector<int32_t> addedFirst32, addedSecond32;
    std::vector<int16_t> addedFirst16, addedSecond16;
    std::vector<uint8_t> phoneMarks, stateMarks;
    int32_t warpIndexSet = 0;
    int32_t warpIndex = 0;
    int32_t mllrApplied = 0;

    // Every array the model's file holds, zeroed and sized as the model
    // keeps it; not adapted.
    static AdaptedParametersSpec sizedFor(const AcousticModelSpec& model)
    {
        AdaptedParametersSpec a;
        a.storage = model.storage;
        const size_t K = static_cast<size_t>(model.components());
        const size_t words = static_cast<size_t>(model.fourBitMeans ? 3 : (model.dim + 3) / 4);
        const size_t constants = model.adaptable ? K : 0;
        const bool first = model.companions && !model.laplacian;
        const bool second = model.threshold && !model.laplacian;
        const auto sized = [](auto& v, bool present, size_t n) { v.assign(present ? n : 0, 0); };
        switch (model.storage) {
        case AcousticStorage::Bytes:
            a.means.assign(K * static_cast<size_t>(model.meanStride()), 0);
            break;
        case AcousticStorage::InnerProduct:
            a.ipMeans.assign(K * words, 0);
            sized(a.first16, first && model.fourBitMeans, constants);
            sized(a.second16, second && model.fourBitMeans, constants);
            sized(a.first32, first && !model.fourBitMeans, constants);
            sized(a.second32, second && !model.fourBitMeans, constants);
            break;
        case AcousticStorage::HareTurtle:
            a.htValues.assign(K, 0);
            a.htVectors.assign(K * static_cast<size_t>(model.htLength), 0);
            break;
        }
        a.addedModels = model.addedModels;
        if (model.addedModels) {
            const int32_t base = model.addedBase >= 0 ? model.addedBase : (model.tree.phones > 0 ? model.tree.phones : 3);
            const int32_t last = model.addedLast >= 0 ? model.addedLast : base + model.addedPhones - 1;
            const size_t perModel = model.modelRows.empty() ? 2 : model.modelRows[0].size();
            const size_t states = perModel * static_cast<size_t>(std::max(last - base + 1, 0));
            const bool ip = model.storage == AcousticStorage::InnerProduct;
            sized(a.addedIpMeans, ip, states * words);
            sized(a.addedMeans, !ip, states * static_cast<size_t>(model.meanStride()));
            sized(a.addedFirst32, ip && !model.fourBitMeans, states);
            sized(a.addedSecond32, ip && !model.fourBitMeans && model.threshold, states);
            sized(a.addedFirst16, ip && model.fourBitMeans, states);
            sized(a.addedSecond16, ip && model.fourBitMeans && model.threshold, states);
            a.phoneMarks.assign(static_cast<size_t>(last) / 8 + 1, 0);
            a.stateMarks.assign((states + 7) / 8, 0);
        }
        return a;
    }
};

inline AcousticModelRecords adaptedParameterRecords(const AdaptedParametersSpec& spec)
{
    AcousticModelRecords r;
    r.word("1.adapted", spec.adapted);
    if (spec.adapted) {
        switch (spec.storage) {
        case AcousticStorage::InnerProduct:
            r.array("2.ipMeans", spec.ipMeans);
            r.array("3.first16", spec.first16);
            r.array("4.second16", spec.second16);
            r.array("5.first32", spec.first32);
            r.array("6.second32", spec.second32);
            break;
        case AcousticStorage::HareTurtle:
            r.array("2.htValues", spec.htValues);
            r.array("3.htVectors", spec.htVectors);
            break;
        case AcousticStorage::Bytes:
            r.array("2.means", spec.means);
            break;
        }
    }
    if (spec.addedModels) {
        r.array("7.addedIpMeans", spec.addedIpMeans);
        r.array("8.addedMeans", spec.addedMeans);
        r.array("9.addedFirst32", spec.addedFirst32);
        r.array("10.addedSecond32", spec.addedSecond32);
        r.array("11.addedFirst16", spec.addedFirst16);
        r.array("12.addedSecond16", spec.addedSecond16);
        r.array("13.phoneMarks", spec.phoneMarks);
        r.array("14.stateMarks", spec.stateMarks);
    }
    r.word("15.warpIndexSet", spec.warpIndexSet);
    r.word("16.warpIndex", spec.warpIndex);
    r.word("17.mllrApplied", spec.mllrApplied);
    return r;
}

// Writes the records as the sub-file prefix + tag of a writable archive;
// true when every record was written and the sub-file completed.
inline bool writeAcousticRecords(DVKTar* tar, const AcousticModelRecords& records,
                                 const char* tag = "ba0", const char* prefix = nullptr)
{
    BinFileWriter* writer = BinFileWriter_Create(tar, tag, prefix);
    if (writer == nullptr)
        return false;
    const bool ok = records.write(writer);
    return BinFileWriter_Delete(writer) == 0 && ok;
}
