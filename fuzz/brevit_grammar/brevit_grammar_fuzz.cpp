// A stored grammar comes back from user storage ("grm1") together with rule
// and expression texts ("txt", one per line): read the grammar through both
// loaders, parse word lists taken from its own word pool under every name,
// feed every text to the rule and expression builders, compile every name
// into a class manager, write the grammar, read it back and compare the
// checksums, clear every name, and delete it.
#include "core/brevit/runtime/dvk_tar.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/constraint.h"
#include "core/brevit/search/grammar.h"
#include "tests/brevit/search/fake_vocabulary.h"
#include "tests/support/fuzz_archive_image.h"

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<std::string> names(const Grammar* g)
{
    std::vector<std::string> out;
    for (int32_t t = 0; t < g->terminalCount; ++t)
        out.emplace_back(g->terminalNames + g->terminalNameOffsets[t]);
    for (int32_t r = 0; r < g->ruleCount; ++r)
        out.emplace_back(g->ruleNames + g->ruleNameOffsets[r]);
    return out;
}

std::vector<std::string> lines(DVKTar* tar)
{
    std::vector<std::string> out;
    DVKTarSubFile* sub = DVKTar_SubFileOpen(tar, "txt");
    if (sub == nullptr)
        return out;
    const uint32_t size = DVKTar_SubFileGetSize(sub);
    std::string text(size, '\0');
    if (size > 0 && DVKTar_SubFileRead(sub, text.data(), static_cast<int32_t>(size)) != static_cast<int32_t>(size))
        text.clear();
    DVKTar_SubFileClose(sub);
    size_t start = 0;
    while (start < text.size() && out.size() < 32) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

// Compilation makes a copy per repetition: only grammars of a few items with
// small bounds are compiled.
bool smallEnoughToCompile(const Grammar* g)
{
    const int32_t items = g->alternativeItemOffsets[g->ruleAlternativeOffsets[g->ruleCount]];
    if (items > 24)
        return false;
    for (int32_t i = 0; i < items; ++i)
        if (g->itemMaximum[i] != kGrammarUnbounded && (g->itemMaximum[i] > 4 || g->itemMinimum[i] > 4))
            return false;
    return true;
}

void exercise(Grammar* g, DVKTar* tar, Voc* vocabulary)
{
    Grammar_ComputeCRC(g);
    const std::vector<std::string> all = names(g);
    // Word lists from the grammar's own words, and every listed word alone.
    const int32_t used = g->terminalWordOffsets[g->terminalCount];
    std::vector<uint32_t> words(g->words, g->words + std::min(used, 12));
    words.push_back(kFakeVocActiveKind | 1u);
    for (const std::string& name : all) {
        for (size_t n = 1; n <= words.size(); ++n)
            Grammar_ParseExists(g, name.c_str(), static_cast<int32_t>(n), words.data());
        Grammar_HasRule(g, name.c_str());
    }
    for (const std::string& text : lines(tar)) {
        Grammar_AddNonTerminal(g, "fuzzRule", text.c_str());
        Grammar_AddNonTerminal(g, all.empty() ? "x" : all.back().c_str(), text.c_str());
        Grammar_AddTerminalExpression(g, "fuzzTerminal", text.c_str());
        GrammarItemText item;
        const char* p = text.c_str();
        while (Grammar_NextItem(p, &item, &p) == 1) {
        }
    }
    if (smallEnoughToCompile(g)) {
        ClassManager* cm = ClassManager_Create(vocabulary, nullptr, nullptr, 16);
        if (cm != nullptr) {
            for (const std::string& name : names(g))
                if (Constraint* con = Grammar_CompileRule(g, name.c_str(), "fuzz", cm, vocabulary))
                    Constraint_Delete(con, 0);
            ClassManager_RemoveUnreferencedClasses(cm);
            ClassManager_Delete(cm);
        }
    }
    // Written and read back: the same checksum.
    static const std::string path = "/tmp/merrowind_fuzz_grammar_" + std::to_string(getpid()) + ".dvk";
    if (DVKTar* out = DVKTar_OpenForWrite(path.c_str())) {
        const int32_t written = Grammar_WritePSAFile(g, out, nullptr);
        DVKTar_Close(out);
        if (written == 1) {
            if (DVKTar* in = DVKTar_OpenForRead(path.c_str())) {
                Grammar* back = Grammar_LoadFromBinFile(in, nullptr, vocabulary);
                if (back == nullptr || Grammar_ComputeCRC(back) != Grammar_ComputeCRC(g))
                    std::abort();
                Grammar_Delete(back);
                DVKTar_Close(in);
            }
        }
    }
    for (const std::string& name : names(g))
        Grammar_ClearRule(g, name.c_str());
    Grammar_Clear(g);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FakeVocabulary vocabulary{{{1, {1}}, {2, {2}}, {3, {3}}}};
    return fuzzArchiveImage(data, size, [&](DVKTar* tar) {
        Grammar* g = Grammar_LoadFromBinFile(tar, nullptr, vocabulary.voc());
        if (g != nullptr) {
            exercise(g, tar, vocabulary.voc());
            Grammar_Delete(g);
        }
        Grammar* existing = Grammar_Create(vocabulary.voc(), 4, 8);
        if (existing != nullptr && Grammar_ReadPSAFile(existing, tar, nullptr) == 1)
            exercise(existing, tar, vocabulary.voc());
        Grammar_Delete(existing);
    });
}
