// Scripts of phrase-class requests as the application sends them: class
// names, texts and phrase ids. Each step does what the engine's phrase
// entry points do with the vocabulary and the phrase index: tokenise the
// text for the class (room for 100 tokens, then for exactly as many as
// there are), add each unknown token as a word from its own characters,
// activate every token's word, then add, test or match the phrase by the
// active ids.
//
// A script is a run of steps, each an operation byte and its operands:
//   create  name kind       kind bit 0: 1 → kind 7, else kind 1
//   remove  name
//   clear   name
//   add     name text id    id: 4 bytes, little end first
//   has     name text
//   match   name text max   max: 1 + byte % 12
//   score   name text
// name: a byte below 4 picks a fixed name, else (byte % 6) + 1 bytes follow;
// text: a length byte and that many UTF-16 units, low byte first (0 → space).
//
// Header-only, for the fuzz target and the test that writes its seeds.
#pragma once

#include "core/brevit/lexicon/ir.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/support/vocabulary_writer.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace ir_entry {

enum Op : uint8_t { kCreate, kRemove, kClear, kAdd, kHas, kMatch, kScore, kOps };

inline const char* const kNames[4] = {"titles", "songs", "_SHADOWIR_titles", "t"};

inline std::vector<vocabulary_fixture::WordSpec> words()
{
    std::vector<vocabulary_fixture::WordSpec> w;
    const char16_t* const surfaces[] = {u"the",  u"river", u"song", u"blue", u"moon", u"night",
                                        u"love", u"city",  u"road", u"home", u"star", u"dance",
                                        u"a",    u"o",     u"fire", u"red",  u"sky",  u"rain"};
    const char* const prons[] = {"D AA", "R IH V ER", "S AO", "B L UW", "K UW N", "N AA T", "L AA V", "S IH T IY"};
    for (size_t k = 0; k < std::size(surfaces); ++k)
        w.push_back({surfaces[k], u"", {prons[k % std::size(prons)]}, k < 14});
    return w;
}

// Words 14 and up are known but not active. A generator, so unknown tokens
// can become words.
inline vocabulary_fixture::Options options()
{
    vocabulary_fixture::Options o;
    o.generator = true;
    o.tokenizeType = 2;
    o.params = {{992, 1}, {991, 3}};
    return o;
}

inline ParamBlockBuilder params()
{
    return vocabulary_fixture::params(options())
        .word(kBrevitParamInterpolationWeight, 30)
        .word(kBrevitParamInitialListCapacity, 2)
        .word(kBrevitParamLowerBoundMinEntries, 4);
}

// Writing scripts.
class Script {
public:
    Script& create(const std::string& name, bool kind7)
    {
        op(kCreate, name);
        m_bytes.push_back(kind7 ? 1 : 0);
        return *this;
    }
    Script& remove(const std::string& name) { return op(kRemove, name); }
    Script& clear(const std::string& name) { return op(kClear, name); }
    Script& add(const std::string& name, const std::u16string& text, uint32_t id)
    {
        op(kAdd, name).put(text);
        for (int k = 0; k < 4; ++k)
            m_bytes.push_back(static_cast<char>(id >> (8 * k)));
        return *this;
    }
    Script& has(const std::string& name, const std::u16string& text) { return op(kHas, name).put(text); }
    Script& match(const std::string& name, const std::u16string& text, int32_t maximum)
    {
        op(kMatch, name).put(text);
        m_bytes.push_back(static_cast<char>(maximum - 1));
        return *this;
    }
    Script& score(const std::string& name, const std::u16string& text) { return op(kScore, name).put(text); }
    const std::string& bytes() const { return m_bytes; }

private:
    Script& op(Op o, const std::string& name)
    {
        m_bytes.push_back(static_cast<char>(o));
        for (int k = 0; k < 4; ++k)
            if (name == kNames[k]) {
                m_bytes.push_back(static_cast<char>(k));
                return *this;
            }
        m_bytes.push_back(static_cast<char>(4 + name.size() - 1));   // 1 to 6 bytes
        m_bytes += name;
        return *this;
    }
    Script& put(const std::u16string& text)
    {
        m_bytes.push_back(static_cast<char>(text.size()));
        for (char16_t c : text) {
            m_bytes.push_back(static_cast<char>(c & 0xFF));
            m_bytes.push_back(static_cast<char>(c >> 8));
        }
        return *this;
    }
    std::string m_bytes;
};

// What a run saw: each match step's phrase ids; a broken promise, if any.
struct Outcome {
    std::vector<std::vector<uint32_t>> matches;
    std::string broken;
};

class Runner {
public:
    Runner(Voc* voc, IR* index) : m_voc(voc), m_index(index) {}

    Outcome run(const uint8_t* data, size_t size)
    {
        m_data = data;
        m_size = size;
        m_at = 0;
        while (m_at < m_size && m_out.broken.empty()) {
            const uint8_t op = static_cast<uint8_t>(next() % kOps);
            const std::string name = readName();
            if (op == kCreate) {
                const int32_t kind = (next() & 1) != 0 ? 7 : 1;
                if (IR_CreateClass(m_index, name.c_str(), kind) >= 0)
                    m_phrases[name].clear();
            } else if (op == kRemove || op == kClear) {
                if ((op == kRemove ? IR_RemoveClass(m_index, name.c_str()) : IR_ClearClass(m_index, name.c_str())) != 0)
                    m_phrases.erase(name);
            } else {
                step(op, name, readText());
            }
        }
        return m_out;
    }

private:
    uint8_t next() { return m_at < m_size ? m_data[m_at++] : 0; }

    std::string readName()
    {
        const uint8_t pick = next();
        if (pick < 4)
            return kNames[pick];
        std::string name;
        for (int k = 0; k < (pick - 4) % 6 + 1; ++k)
            name.push_back(static_cast<char>(next() | 1));
        return name;
    }

    std::u16string readText()
    {
        std::u16string text;
        for (int k = next(); k > 0 && m_at < m_size; --k) {
            const uint8_t low = next();
            const char16_t c = static_cast<char16_t>(low | (next() << 8));
            text.push_back(c != 0 ? c : u' ');
        }
        return text;
    }

    // Tokens of the text for the class: room for 100, then for all.
    bool tokenise(const std::string& name, const std::u16string& text)
    {
        const auto* units = reinterpret_cast<const uint16_t*>(text.c_str());
        m_ids.assign(100, 0);
        m_starts.assign(100, 0);
        m_lengths.assign(100, 0);
        int32_t n = IR_TokenizeText(m_index, name.c_str(), units, 100, m_ids.data(), m_starts.data(),
                                    m_lengths.data(), nullptr, nullptr);
        if (n > 100) {
            m_ids.assign(n, 0);
            m_starts.assign(n, 0);
            m_lengths.assign(n, 0);
            if (IR_TokenizeText(m_index, name.c_str(), units, n, m_ids.data(), m_starts.data(), m_lengths.data(),
                                nullptr, nullptr) != n)
                m_out.broken = "a second tokenising counted otherwise";
        }
        m_ids.resize(std::max(n, 0));
        return n > 0;
    }

    // Every token's active id, adding and activating words as needed; false
    // at the first token that cannot have one.
    bool activate(const std::u16string& text, bool addWords)
    {
        m_active.clear();
        for (size_t t = 0; t < m_ids.size(); ++t) {
            VocId id = m_ids[t];
            if (id == kVocNoId) {
                if (!addWords)
                    return false;
                std::u16string token = text.substr(m_starts[t], m_lengths[t]);
                int32_t added = 0;
                if (Voc_AddWordFromText(m_voc, reinterpret_cast<const uint16_t*>(token.c_str()), &id, &added) != 0 ||
                    id == kVocNoId)
                    return false;
            }
            if (addWords)
                Voc_ActivateMasterId(m_voc, Voc_GetMasterId(m_voc, id));
            const int32_t active = Voc_GetActiveId(m_voc, id);
            if (active < 0 || active >= 65535)
                return false;
            m_active.push_back(static_cast<uint16_t>(active));
        }
        return !m_active.empty();
    }

    void step(uint8_t op, const std::string& name, const std::u16string& text)
    {
        uint32_t phraseId = 0;
        if (op == kAdd)
            for (int k = 0; k < 4; ++k)
                phraseId |= static_cast<uint32_t>(next()) << (8 * k);
        const int32_t maximum = op == kMatch ? next() % 12 + 1 : 0;
        if (IR_FindClass(m_index, name.c_str()) < 0 || !tokenise(name, text) || !activate(text, op != kHas))
            return;
        const auto* units = reinterpret_cast<const uint16_t*>(text.c_str());
        const int32_t n = static_cast<int32_t>(m_active.size());
        if (op == kAdd) {
            if (IR_AddPhrase(m_index, name.c_str(), units, n, m_active.data(), phraseId) == 1) {
                m_phrases[name].insert(phraseId);
                if (IR_ContainsPhrase(m_index, name.c_str(), units, n, m_active.data()) != 1)
                    m_out.broken = "an added phrase is not in its class";
            }
        } else if (op == kHas) {
            IR_ContainsPhrase(m_index, name.c_str(), units, n, m_active.data());
        } else if (op == kMatch) {
            std::vector<uint32_t> ids(maximum);
            std::vector<int32_t> scores(maximum);
            const int32_t found = IR_GetMatches(m_index, name.c_str(), n, m_active.data(), maximum, ids.data(),
                                                scores.data());
            if (found < 0 || found > maximum)
                m_out.broken = "more matches than asked for";
            for (int32_t k = 0; k < found && m_out.broken.empty(); ++k)
                if (scores[k] < 0 || (k > 0 && scores[k] > scores[k - 1]) ||
                    m_phrases[name].count(ids[k]) == 0)
                    m_out.broken = "a match out of order, negative or not of the class";
            ids.resize(std::max(found, 0));
            m_out.matches.push_back(ids);
        } else {
            const int32_t slot = IR_FindClass(m_index, name.c_str());
            uint16_t previous = 65533;
            for (uint16_t word : m_active) {
                if (IR_ScoreWordTransition(m_index, slot, 0, &previous, word) > kIRCostOutside)
                    m_out.broken = "a cost above the outside cost";
                previous = word;
            }
            IR_ScoreWordEndInClass(m_index, slot, previous);
        }
    }

    Voc* m_voc;
    IR* m_index;
    const uint8_t* m_data = nullptr;
    size_t m_size = 0, m_at = 0;
    std::vector<uint32_t> m_ids;
    std::vector<int32_t> m_starts, m_lengths;
    std::vector<uint16_t> m_active;
    std::map<std::string, std::set<uint32_t>> m_phrases;
    Outcome m_out;
};

}  // namespace ir_entry
