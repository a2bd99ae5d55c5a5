// The one language-model kind there is, for tests: an LM in engine memory
// (so LM_Delete frees it) with the common fields a test gives, scoring from a
// table the test fills (symbol sequence -> answer) or else a fixed function
// of the symbols, and recording every operation it is asked for. Its state
// in "blm0" is the table. Tests of the vocabulary and the decoders reach
// their model paths through it.
//
// Header-only and free of the test framework. The TestLanguageModel must
// outlive the LM it created.
#pragma once

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/lm.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

class TestLanguageModel {
public:
    struct Fields {
        int32_t order = 3;
        uint16_t sentenceStart = 0;
        uint16_t symbol65531 = 0;
        std::vector<uint16_t> idMap;   // empty: model id = word id + idOffset
        int32_t idOffset = 0;
        int32_t firstDynamic = 65531;  // D
        int32_t dynamicBase = 0;       // B
        int32_t slots = 0;
        int32_t batchCapacity = 0;
        int32_t scale = 0;
        int32_t adaptation = 1;
        int32_t shared = 0;
    };

    struct ScoreCall {
        std::vector<uint16_t> symbols;
        int32_t count;
        int32_t history;
        int32_t flag;
    };
    struct BatchCall {
        std::vector<uint16_t> history;
        std::vector<uint16_t> candidates;   // the mapped list handed over
        bool listed;                        // false: none handed over
        int32_t count;
    };
    struct AdaptCall {
        std::vector<uint16_t> symbols;
        int32_t total;
        int32_t first;
    };
    struct DynamicCall {
        bool activate;
        uint16_t modelId;
        int32_t a;   // activation: value a; deactivation: the slot's value
        int32_t b;
    };

    // The object the LM pointer points at: the common record first.
    struct Object {
        LM lm;
        TestLanguageModel* owner;
    };

    explicit TestLanguageModel(const Fields& fields) : m_fields(fields) {}
    TestLanguageModel(const TestLanguageModel&) = delete;
    TestLanguageModel& operator=(const TestLanguageModel&) = delete;

    // A new model over the current engine allocator; null when memory is short.
    LM* create()
    {
        auto* object = static_cast<Object*>(DVKMem_Calloc(sizeof(Object)));
        if (object == nullptr)
            return nullptr;
        object->owner = this;
        LM& lm = object->lm;
        lm.shared = m_fields.shared;
        lm.free = &freeOp;
        lm.score = &scoreOp;
        lm.batchScore = &batchOp;
        lm.adapt = &adaptOp;
        lm.activateDynamic = &activateOp;
        lm.deactivateDynamic = &deactivateOp;
        lm.crc = &crcOp;
        lm.readState = &readOp;
        lm.writeState = &writeOp;
        lm.scale = m_fields.scale;
        lm.order = m_fields.order;
        lm.sentenceStart = m_fields.sentenceStart;
        lm.symbol65531 = m_fields.symbol65531;
        lm.batchCapacity = m_fields.batchCapacity;
        lm.candidateKey = -1;
        lm.adaptation = m_fields.adaptation;
        lm.idOffset = m_fields.idOffset;
        lm.firstDynamic = m_fields.firstDynamic;
        lm.dynamicBase = m_fields.dynamicBase;
        lm.slotCount = m_fields.slots;
        if (!m_fields.idMap.empty()) {
            lm.idMap = static_cast<uint16_t*>(DVKMem_Malloc(static_cast<uint32_t>(m_fields.idMap.size() * 2)));
            if (lm.idMap == nullptr) {
                DVKMem_Free(object);
                return nullptr;
            }
            std::memcpy(lm.idMap, m_fields.idMap.data(), m_fields.idMap.size() * 2);
        }
        if (m_fields.slots > 0) {
            lm.slotFlags = static_cast<uint8_t*>(DVKMem_Calloc(static_cast<uint32_t>(m_fields.slots)));
            if (lm.slotFlags == nullptr) {
                DVKMem_Free(lm.idMap);
                DVKMem_Free(object);
                return nullptr;
            }
        }
        m_freed = false;
        return &object->lm;
    }

    // Scores by whole symbol sequence (history, then the predicted symbol).
    std::map<std::vector<uint16_t>, int32_t> table;

    // The answer for a sequence: the table's, else a fixed function of the symbols.
    int32_t answer(const uint16_t* symbols, int32_t count) const
    {
        const std::vector<uint16_t> key(symbols, symbols + count);
        auto it = table.find(key);
        if (it != table.end())
            return it->second;
        int32_t value = 0;
        for (int32_t i = 0; i < count; ++i)
            value += (i + 1) * symbols[i];
        return value % 1000;
    }

    // What the next calls do.
    bool batchAnswersZero = false;
    bool refuseDynamic = false;
    bool refuseAdaptation = false;

    std::vector<ScoreCall> scoreCalls;
    std::vector<BatchCall> batchCalls;
    std::vector<AdaptCall> adaptCalls;
    std::vector<DynamicCall> dynamicCalls;
    bool freed() const { return m_freed; }

    void clearCalls()
    {
        scoreCalls.clear();
        batchCalls.clear();
        adaptCalls.clear();
        dynamicCalls.clear();
    }

private:
    static TestLanguageModel* ownerOf(const LM* model)
    {
        return reinterpret_cast<const Object*>(model)->owner;
    }

    static void freeOp(LM* model)
    {
        DVKMem_Free(model->idMap);
        DVKMem_Free(model->slotFlags);
        model->idMap = nullptr;
        model->slotFlags = nullptr;
        ownerOf(model)->m_freed = true;
    }

    static int32_t scoreOp(LM* model, const uint16_t* symbols, int32_t count, int32_t history,
                           int32_t flag)
    {
        TestLanguageModel* self = ownerOf(model);
        self->scoreCalls.push_back({std::vector<uint16_t>(symbols, symbols + count), count, history, flag});
        return self->answer(symbols, count);
    }

    static int32_t batchOp(LM* model, int32_t history, const uint16_t* historySymbols,
                           int32_t count, const uint16_t* candidates, int16_t* scores)
    {
        TestLanguageModel* self = ownerOf(model);
        BatchCall call{std::vector<uint16_t>(historySymbols, historySymbols + history), {},
                       candidates != nullptr, count};
        if (candidates != nullptr) {
            call.candidates.assign(candidates, candidates + (count > 0 ? count : 0));
            self->m_lastCandidates = call.candidates;
        }
        self->batchCalls.push_back(call);
        if (self->batchAnswersZero)
            return 0;
        std::vector<uint16_t> symbols(historySymbols, historySymbols + history);
        symbols.push_back(0);
        for (int32_t i = 0; i < count && static_cast<size_t>(i) < self->m_lastCandidates.size(); ++i) {
            symbols.back() = self->m_lastCandidates[static_cast<size_t>(i)];
            scores[i] = static_cast<int16_t>(self->answer(symbols.data(), history + 1));
        }
        return 1;
    }

    static int32_t adaptOp(LM* model, const uint16_t* symbols, int32_t total, int32_t first)
    {
        TestLanguageModel* self = ownerOf(model);
        self->adaptCalls.push_back({std::vector<uint16_t>(symbols, symbols + total), total, first});
        return self->refuseAdaptation ? 0 : 1;
    }

    static int32_t activateOp(LM* model, uint16_t modelId, int32_t a, int32_t b)
    {
        TestLanguageModel* self = ownerOf(model);
        self->dynamicCalls.push_back({true, modelId, a, b});
        return self->refuseDynamic ? 0 : 1;
    }

    static int32_t deactivateOp(LM* model, uint16_t modelId, int32_t slotValue, uint8_t*)
    {
        TestLanguageModel* self = ownerOf(model);
        self->dynamicCalls.push_back({false, modelId, slotValue, 0});
        return self->refuseDynamic ? 0 : 1;
    }

    // The table (in key order), then the common fields.
    static uint32_t crcOp(const LM* model, uint32_t crc)
    {
        const TestLanguageModel* self = ownerOf(model);
        for (const auto& [symbols, value] : self->table) {
            crc = DVKCrc_AddValue(static_cast<uint32_t>(symbols.size()), 4, crc);
            for (uint16_t s : symbols)
                crc = DVKCrc_AddValue(s, 2, crc);
            crc = DVKCrc_AddValue(static_cast<uint32_t>(value), 4, crc);
        }
        const int32_t fields[] = {model->scale,         model->order,       model->sentenceStart,
                                  model->symbol65531,   model->batchCapacity, model->adaptation,
                                  model->idOffset,      model->firstDynamic, model->dynamicBase,
                                  model->slotCount};
        for (int32_t v : fields)
            crc = DVKCrc_AddValue(static_cast<uint32_t>(v), 4, crc);
        return crc;
    }

    // "blm0": entry count, then per entry its symbols (an array) and its answer.
    static LM* readOp(LM* model, BinFileReader* reader)
    {
        TestLanguageModel* self = ownerOf(model);
        int32_t count = 0;
        if (!BinFileReader_ReadInt(reader, &count) || count < 0)
            return nullptr;
        std::map<std::vector<uint16_t>, int32_t> read;
        for (int32_t i = 0; i < count; ++i) {
            void* symbols = nullptr;
            uint32_t n = 0;
            int32_t value = 0;
            if (!BinFileReader_AllocateAndReadArray(reader, 2, &symbols, &n))
                return nullptr;
            const auto* s = static_cast<const uint16_t*>(symbols);
            std::vector<uint16_t> key(s, s + n);
            DVKMem_Free(symbols);
            if (!BinFileReader_ReadInt(reader, &value))
                return nullptr;
            read[key] = value;
        }
        self->table = read;
        return model;
    }

    static int32_t writeOp(const LM* model, BinFileWriter* writer)
    {
        const TestLanguageModel* self = ownerOf(model);
        bool ok = BinFileWriter_WriteInt(writer, static_cast<int32_t>(self->table.size())) == 1;
        for (const auto& [symbols, value] : self->table)
            ok = ok &&
                 BinFileWriter_WriteArray(writer, symbols.empty() ? nullptr : symbols.data(),
                                          static_cast<uint32_t>(symbols.size()), 2) &&
                 BinFileWriter_WriteInt(writer, value);
        return ok ? 1 : 0;
    }

    Fields m_fields;
    std::vector<uint16_t> m_lastCandidates;
    bool m_freed = false;
};
