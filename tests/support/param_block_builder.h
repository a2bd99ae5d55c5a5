// Engine parameter blocks for tests: set words by name, write them as the
// "dvkpar" sub-file of a fixture archive, or install the block as the current
// one for a scope.
//
// Header-only: it calls the engine runtime, which the shared support library
// does not link.
#pragma once

#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/dvk_param_load.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <string>

class ParamBlockBuilder {
public:
    ParamBlockBuilder() { std::memset(&m_block, 0, sizeof(m_block)); }

    ParamBlockBuilder& word(int index, uint32_t value)
    {
        m_block.words[index] = value;
        return *this;
    }

    // A real over words index and index + 1.
    ParamBlockBuilder& real(int index, double value)
    {
        std::memcpy(&m_block.words[index], &value, sizeof(value));
        return *this;
    }

    // The string of the slot starting at byte `byte` of word index. The text
    // is stored as given, even when it does not fit its slot.
    ParamBlockBuilder& string(int index, const std::string& text, int byte = 0)
    {
        m_strings[index * 4 + byte] = text;
        return *this;
    }

    // The format word written first (871 by default).
    ParamBlockBuilder& formatNumber(uint32_t format)
    {
        m_format = format;
        return *this;
    }

    // Writes only the first count value records (after the format word).
    ParamBlockBuilder& recordLimit(size_t count)
    {
        m_recordLimit = count;
        return *this;
    }

    // Number of value records of a complete block.
    static size_t recordCount()
    {
        size_t n = 0;
        for (int32_t i = 0; i < kDVKParamLayoutRuns; ++i)
            n += kDVKParamLayout[i].kind == kDVKParamString ? 1 : kDVKParamLayout[i].count;
        return n;
    }

    // Writes the "dvkpar" sub-file into a writable archive; true when every
    // record was written and the sub-file completed.
    bool write(DVKTar* tar, const char* prefix = nullptr) const
    {
        BinFileWriter* writer = BinFileWriter_Create(tar, kDVKParamSubFileTag, prefix);
        if (writer == nullptr)
            return false;
        bool ok = BinFileWriter_WriteUnsignedInt(writer, m_format) == 1;
        size_t written = 0;
        for (int32_t r = 0; ok && r < kDVKParamLayoutRuns; ++r) {
            const DVKParamRun& run = kDVKParamLayout[r];
            if (run.kind == kDVKParamString) {
                if (written++ >= m_recordLimit)
                    break;
                ok = BinFileWriter_WriteString(writer, stringAt(run.at).c_str()) == 1;
                continue;
            }
            for (uint32_t i = 0; ok && i < run.count; ++i) {
                if (written++ >= m_recordLimit)
                    break;
                if (run.kind == kDVKParamWords) {
                    ok = BinFileWriter_WriteUnsignedInt(writer, m_block.words[run.at + i]) == 1;
                } else {
                    double value = 0;
                    std::memcpy(&value, &m_block.words[run.at + 2 * i], sizeof(value));
                    ok = BinFileWriter_WriteReal(writer, value) == 1;
                }
            }
        }
        return BinFileWriter_Delete(writer) == 0 && ok;
    }

    // The block as the loader gives it (strings cut to their slots).
    BrevitGlobalParameters block() const
    {
        BrevitGlobalParameters block = m_block;
        auto* bytes = reinterpret_cast<char*>(block.words);
        for (int32_t r = 0; r < kDVKParamLayoutRuns; ++r) {
            const DVKParamRun& run = kDVKParamLayout[r];
            if (run.kind != kDVKParamString)
                continue;
            std::memset(bytes + run.at, 0, run.count);
            const std::string text = stringAt(run.at);
            std::memcpy(bytes + run.at, text.data(), std::min<size_t>(text.size(), run.count - 1u));
        }
        return block;
    }

private:
    std::string stringAt(int byteOffset) const
    {
        auto it = m_strings.find(byteOffset);
        return it != m_strings.end() ? it->second : std::string();
    }

    BrevitGlobalParameters m_block;
    std::map<int, std::string> m_strings;
    uint32_t m_format = kDVKParamFormatNumber;
    size_t m_recordLimit = std::numeric_limits<size_t>::max();
};

// Installs a block as the current parameter block for a scope and puts the
// previous one back.
class ScopedParamBlock {
public:
    explicit ScopedParamBlock(const ParamBlockBuilder& builder) : m_block(builder.block())
    {
        m_previous = gpBrevitGlobalParameters;
        gpBrevitGlobalParameters = &m_block;
    }
    ~ScopedParamBlock() { gpBrevitGlobalParameters = m_previous; }
    ScopedParamBlock(const ScopedParamBlock&) = delete;
    ScopedParamBlock& operator=(const ScopedParamBlock&) = delete;

    BrevitGlobalParameters& block() { return m_block; }

private:
    BrevitGlobalParameters m_block;
    BrevitGlobalParameters* m_previous = nullptr;
};
