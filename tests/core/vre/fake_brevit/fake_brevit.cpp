#include "tests/core/vre/fake_brevit/fake_brevit.h"

#include "sdk/common/dvk_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>

namespace {

struct FakeWord {
    std::u16string surface, spoken;
};

struct FakeConstraintState {
    std::string name;
    bool live = true;
    std::vector<std::string> transitions;
};

struct FakePart {
    std::string className;
    int32_t first, length;
};

struct FakeListChoice {
    std::vector<VocId> words;
    std::vector<FakePart> parts;
    int32_t constraint;
};

const VocId kFirstWordId = 0x40000001u;

}  // namespace

struct BrevitEngine {
    int32_t serial = 0;
    BrevitAllocator* allocator = nullptr;
    void* block = nullptr;
    std::vector<FakeWord> words;
    std::map<std::string, std::vector<std::vector<VocId>>> classes;
    std::vector<FakeConstraintState> constraints;
    bool listening = false, recognizing = false, enrollment = false, adapted = false;
    bool loadedAnything = false;
    uint32_t utterances = 0;
    int32_t mode = 0;
    bool listBuilt = false;
    std::vector<FakeListChoice> list;
    bool tts = false;
    int32_t ttsLeft = 0;
};

namespace {

FakeBrevit s_fake;

std::string utf8(const uint16_t* text)
{
    if (text == nullptr)
        return "none";
    std::string out = "\"";
    for (; *text != 0; ++text) {
        const uint32_t c = *text;
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out + "\"";
}

std::string quoted(const char* text)
{
    return text == nullptr ? "none" : "\"" + std::string(text) + "\"";
}

std::string utf8(const std::u16string& text)
{
    return utf8(reinterpret_cast<const uint16_t*>(text.c_str()));
}

template <typename... Args>
std::string joinArgs(const Args&... args)
{
    std::ostringstream out;
    bool first = true;
    ((out << (first ? "" : ", ") << args, first = false), ...);
    return out.str();
}

void logCall(const std::string& line)
{
    s_fake.calls.push_back(line);
    if (s_fake.onCall)
        s_fake.onCall(line);
}

EBrevit scripted(const char* name);

// Writes the call down; the scripted answer of its next call.
EBrevit enter(const std::string& line, const char* name)
{
    logCall(line);
    return scripted(name);
}

// The scripted answer of the entry point's next call.
EBrevit scripted(const char* name)
{
    auto found = s_fake.results.find(name);
    if (found == s_fake.results.end() || found->second.empty())
        return kFakeNormal;
    const EBrevit result = found->second.front();
    found->second.pop_front();
    return result;
}

std::vector<std::u16string> splitWords(const std::u16string& text)
{
    std::vector<std::u16string> out;
    std::u16string word;
    for (char16_t c : text) {
        if (c == u' ') {
            if (!word.empty())
                out.push_back(word);
            word.clear();
        } else {
            word.push_back(c);
        }
    }
    if (!word.empty())
        out.push_back(word);
    return out;
}

VocId wordId(BrevitEngine* engine, const std::u16string& surface, const std::u16string& spoken)
{
    for (size_t i = 0; i < engine->words.size(); ++i) {
        if (engine->words[i].surface == surface)
            return kFirstWordId + static_cast<VocId>(i);
    }
    engine->words.push_back({surface, spoken});
    return kFirstWordId + static_cast<VocId>(engine->words.size() - 1);
}

const FakeWord* findWord(BrevitEngine* engine, VocId id)
{
    if (id < kFirstWordId || id - kFirstWordId >= engine->words.size())
        return nullptr;
    return &engine->words[id - kFirstWordId];
}

std::u16string wordsText(BrevitEngine* engine, const VocId* ids, int32_t count)
{
    std::u16string text;
    for (int32_t i = 0; i < count; ++i) {
        const FakeWord* word = findWord(engine, ids[i]);
        if (!text.empty())
            text += u" ";
        text += word != nullptr ? word->surface : u"?";
    }
    return text;
}

int32_t findConstraint(BrevitEngine* engine, const std::string& name)
{
    for (size_t i = 0; i < engine->constraints.size(); ++i) {
        if (engine->constraints[i].live && engine->constraints[i].name == name)
            return static_cast<int32_t>(i);
    }
    return -1;
}

bool validConstraint(BrevitEngine* engine, int32_t index)
{
    return index >= 0 && index < static_cast<int32_t>(engine->constraints.size()) &&
           engine->constraints[static_cast<size_t>(index)].live;
}

bool isBoundary(const std::string& name)
{
    return name == "_CONSTRAINT_CLASS_START" || name == "_CONSTRAINT_CLASS_END";
}

int32_t activate(BrevitEngine* engine, const std::vector<std::u16string>& words, const std::u16string& spoken,
                 int32_t capacity, VocId* ids, int32_t* count)
{
    *count = 0;
    if (static_cast<int32_t>(words.size()) > capacity)
        return EBrevit_BufferTooSmall;
    for (const std::u16string& word : words)
        ids[(*count)++] = wordId(engine, word, spoken.empty() ? word : spoken);
    return words.empty() ? EBrevit_WordNotAdded : EBrevit_OK;
}

// The scripted choices as word ids; every word must be active already.
void buildList(BrevitEngine* engine)
{
    if (engine->listBuilt)
        return;
    engine->listBuilt = true;
    engine->list.clear();
    for (const FakeChoice& choice : s_fake.choices) {
        FakeListChoice made;
        made.constraint = findConstraint(engine, choice.constraint);
        if (made.constraint < 0)
            ADD_FAILURE() << "a choice of constraint " << choice.constraint << " the engine does not have";
        for (const FakeRun& run : choice.runs) {
            if (engine->classes.count(run.className) == 0)
                ADD_FAILURE() << "a choice of class " << run.className << " the engine does not have";
            FakePart part{run.className, static_cast<int32_t>(made.words.size()), 0};
            for (const std::u16string& word : splitWords(run.text)) {
                const auto found = std::find_if(engine->words.begin(), engine->words.end(),
                                                [&](const FakeWord& w) { return w.surface == word; });
                if (found == engine->words.end())
                    ADD_FAILURE() << "choice word " << utf8(word) << " was never made active";
                made.words.push_back(wordId(engine, word, word));
                ++part.length;
            }
            made.parts.push_back(part);
        }
        engine->list.push_back(made);
    }
}

bool writeFile(const char* name, const std::string& content)
{
    dvk_file_Stream* stream = dvk_file_fopen(name, DVK_OEM_FILE_MODE_WRITE);
    if (stream == nullptr)
        return false;
    const bool written = dvk_file_fwrite(content.data(), 1, static_cast<long>(content.size()), stream) ==
                         static_cast<long>(content.size());
    return dvk_file_fclose(&stream) == 0 && written;
}

std::string readFile(const char* name)
{
    std::string content;
    dvk_file_Stream* stream = dvk_file_fopen(name, DVK_OEM_FILE_MODE_READ);
    if (stream == nullptr)
        return content;
    char buffer[256];
    long n;
    while ((n = dvk_file_fread(buffer, 1, sizeof buffer, stream)) > 0)
        content.append(buffer, static_cast<size_t>(n));
    dvk_file_fclose(&stream);
    return content;
}

// The vocabulary half: "class\tword word\n" per member; the models half
// the adaptation mark.
std::string vocabularyHalf(BrevitEngine* engine)
{
    std::string out = "fake vocabulary\n";
    for (const auto& [name, members] : engine->classes) {
        if (s_fake.modelClasses.count(name) != 0)
            continue;
        for (const auto& member : members) {
            std::string words = utf8(wordsText(engine, member.data(), static_cast<int32_t>(member.size())));
            out += name + "\t" + words.substr(1, words.size() - 2) + "\n";
        }
    }
    return out;
}

void loadVocabulary(BrevitEngine* engine, const std::string& content)
{
    std::istringstream in(content);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        const size_t tab = line.find('\t');
        const std::string name = line.substr(0, tab);
        const std::string text = line.substr(tab + 1);
        std::vector<VocId> ids;
        for (const std::u16string& word : splitWords(std::u16string(text.begin(), text.end())))
            ids.push_back(wordId(engine, word, word));
        engine->classes[name].push_back(ids);
    }
}

}  // namespace

FakeBrevit& fakeBrevit()
{
    return s_fake;
}

void resetFakeBrevit()
{
    s_fake = FakeBrevit{};
}

std::vector<std::u16string> fakeBrevitMembers(BrevitEngine* engine, const std::string& className)
{
    std::vector<std::u16string> out;
    for (const auto& member : engine->classes[className])
        out.push_back(wordsText(engine, member.data(), static_cast<int32_t>(member.size())));
    return out;
}

bool fakeBrevitHasClass(BrevitEngine* engine, const std::string& className)
{
    return engine->classes.count(className) != 0;
}

std::vector<std::string> fakeBrevitTransitions(BrevitEngine* engine, const std::string& constraint)
{
    const int32_t index = findConstraint(engine, constraint);
    return index < 0 ? std::vector<std::string>{} : engine->constraints[static_cast<size_t>(index)].transitions;
}

bool fakeBrevitHasConstraint(BrevitEngine* engine, const std::string& constraint)
{
    return findConstraint(engine, constraint) >= 0;
}

int32_t fakeBrevitSerial(BrevitEngine* engine)
{
    return engine->serial;
}

bool fakeBrevitLoadedAnything(BrevitEngine* engine)
{
    return engine->loadedAnything;
}

std::vector<std::string> fakeBrevitCalls(size_t from, const std::vector<std::string>& prefixes)
{
    std::vector<std::string> out;
    for (size_t i = from; i < s_fake.calls.size(); ++i) {
        const std::string& line = s_fake.calls[i];
        bool wanted = prefixes.empty();
        for (const std::string& prefix : prefixes)
            wanted = wanted || line.rfind(prefix, 0) == 0;
        if (wanted)
            out.push_back(line);
    }
    return out;
}

// ---- Engine object and model sets ----------------------------------------------------

EBrevit Brevit_GetNumberStoredModelSets(BrevitAllocator*, int32_t* count)
{
    const EBrevit r = enter("GetNumberStoredModelSets", "GetNumberStoredModelSets");
    if (r != kFakeNormal)
        return r;
    *count = static_cast<int32_t>(s_fake.storedSets.size());
    return EBrevit_OK;
}

EBrevit Brevit_GetNthStoredModelSet(int32_t index, BrevitAllocator*, int32_t languageSize, char* language,
                                    uint32_t* propertyWord1, uint32_t* propertyWord2)
{
    logCall("GetNthStoredModelSet(" + std::to_string(index) + ")");
    if (index < 0 || index >= static_cast<int32_t>(s_fake.storedSets.size()))
        return EBrevit_BadArgument;
    const FakeStoredModelSet& set = s_fake.storedSets[static_cast<size_t>(index)];
    std::strncpy(language, set.language.c_str(), static_cast<size_t>(languageSize));
    *propertyWord1 = set.capabilities;
    *propertyWord2 = set.kindWord;
    return EBrevit_OK;
}

EBrevit Brevit_GetBinFileModelSetInfo(const char* path, BrevitAllocator*, int32_t* majorVersion,
                                      int32_t* secondMinorVersion, int32_t languageSize, char* language,
                                      uint32_t* propertyWord1, uint32_t* propertyWord2, int32_t* synthesisEncoding,
                                      int32_t* sampleRate)
{
    const EBrevit r =
        enter("GetBinFileModelSetInfo(" + quoted(path) + ", " + std::to_string(languageSize) + ")",
              "GetBinFileModelSetInfo");
    if (r != kFakeNormal)
        return r;
    const auto found = s_fake.modelSets.find(path);
    if (found == s_fake.modelSets.end() || !found->second.readable)
        return EBrevit_BadArgument;
    *majorVersion = 1;
    *secondMinorVersion = 0;
    std::strncpy(language, found->second.language.c_str(), static_cast<size_t>(languageSize));
    *propertyWord1 = found->second.capabilities;
    *propertyWord2 = found->second.kindWord;
    *synthesisEncoding = s_fake.ttsEncoding;
    *sampleRate = found->second.sampleRate;
    return EBrevit_OK;
}

EBrevit Brevit_CreateFromBinFile(const char* path, BrevitAllocator* allocator, BrevitEngine** engine)
{
    const EBrevit r = enter("CreateFromBinFile(" + quoted(path) + ")", "CreateFromBinFile");
    if (r != kFakeNormal)
        return r;
    if (s_fake.modelSets.count(path) == 0)
        return EBrevit_EngineError;
    // The engine's own memory comes from the caller's allocator.
    void* block = allocator->alloc(allocator, 64);
    if (block == nullptr)
        return EBrevit_MemoryError;
    auto* made = new BrevitEngine;
    made->serial = ++s_fake.created;
    made->allocator = allocator;
    made->block = block;
    for (const auto& [name, members] : s_fake.modelClasses) {
        auto& memberIds = made->classes[name];
        for (const std::u16string& member : members) {
            std::vector<VocId> ids;
            for (const std::u16string& word : splitWords(member))
                ids.push_back(wordId(made, word, word));
            memberIds.push_back(ids);
        }
    }
    for (const std::string& name : s_fake.modelConstraints)
        made->constraints.push_back({name, true, {}});
    ++s_fake.live;
    *engine = made;
    return EBrevit_OK;
}

EBrevit Brevit_Destroy(BrevitEngine* engine, BrevitAllocator** allocatorOut)
{
    logCall("Destroy");
    if (engine == nullptr)
        return EBrevit_EngineError;
    engine->allocator->free(engine->allocator, engine->block);
    if (allocatorOut != nullptr)
        *allocatorOut = engine->allocator;
    delete engine;
    --s_fake.live;
    return EBrevit_OK;
}

EBrevit Brevit_ReleaseUnusedMemory(BrevitEngine*, int32_t level)
{
    const EBrevit r = enter("ReleaseUnusedMemory(" + std::to_string(level) + ")", "ReleaseUnusedMemory");
    return r != kFakeNormal ? r : EBrevit_OK;
}

// ---- Storage ---------------------------------------------------------------------------

EBrevit Brevit_SaveToStoragePair(BrevitEngine* engine, const char* pathA, const char* pathB)
{
    const EBrevit r = enter("SaveToStoragePair(" + joinArgs(quoted(pathA), quoted(pathB)) + ")", "SaveToStoragePair");
    if (r != kFakeNormal)
        return r;
    if (pathA != nullptr && !writeFile(pathA, std::string("fake models\n") + (engine->adapted ? "adapted\n" : "")))
        return EBrevit_StorageWriteError;
    if (pathB != nullptr && !writeFile(pathB, vocabularyHalf(engine)))
        return EBrevit_StorageWriteError;
    return EBrevit_OK;
}

EBrevit Brevit_LoadFromStoragePair(BrevitEngine* engine, const char* pathA, const char* pathB)
{
    const EBrevit r =
        enter("LoadFromStoragePair(" + joinArgs(quoted(pathA), quoted(pathB)) + ")", "LoadFromStoragePair");
    if (r == EBrevit_StoredDataError) {
        // Part of the data is in before the reader stops.
        engine->loadedAnything = true;
        engine->adapted = true;
        return r;
    }
    if (r != kFakeNormal)
        return r;
    if (pathA != nullptr) {
        engine->adapted = readFile(pathA).find("adapted") != std::string::npos;
        engine->loadedAnything = true;
    }
    if (pathB != nullptr) {
        loadVocabulary(engine, readFile(pathB));
        engine->loadedAnything = true;
    }
    return EBrevit_OK;
}

// ---- Constraints and classes -------------------------------------------------------------

EBrevit Brevit_FindConstraint(BrevitEngine* engine, const char* name, int32_t* index)
{
    const EBrevit r = scripted("FindConstraint");
    *index = findConstraint(engine, name);
    logCall("FindConstraint(" + quoted(name) + ") " + std::to_string(*index));
    return r != kFakeNormal ? r : EBrevit_OK;
}

EBrevit Brevit_CreateEmptyClassPairConstraint(BrevitEngine* engine, const char* name, int32_t classCapacity,
                                              int32_t transitionCapacity, int32_t option, int32_t* index)
{
    const EBrevit r = enter("CreateEmptyClassPairConstraint(" +
            joinArgs(quoted(name), classCapacity, transitionCapacity, option) + ")", "CreateEmptyClassPairConstraint");
    if (r != kFakeNormal)
        return r;
    if (name == nullptr || name[0] == 0 || std::strlen(name) > 19 || findConstraint(engine, name) >= 0 ||
        classCapacity < 0 || transitionCapacity < 0)
        return EBrevit_BadArgument;
    engine->constraints.push_back({name, true, {}});
    *index = static_cast<int32_t>(engine->constraints.size() - 1);
    return EBrevit_OK;
}

EBrevit Brevit_AddClassPairTransition(BrevitEngine* engine, int32_t index, const char* fromClass,
                                      const char* toClass, int32_t weight, int32_t* transitionId)
{
    logCall("AddClassPairTransition(" + joinArgs(index, quoted(fromClass), quoted(toClass), weight) + ")");
    *transitionId = 0;
    const EBrevit r = scripted("AddClassPairTransition");
    if (r == kFakeRefuse)
        return EBrevit_OK;
    if (r != kFakeNormal)
        return r;
    const auto resolves = [&](const char* name) {
        return isBoundary(name) || engine->classes.count(name) != 0;
    };
    if (!validConstraint(engine, index) || !resolves(fromClass) || !resolves(toClass) || weight > 255 ||
        std::string(fromClass) == "_CONSTRAINT_CLASS_END" || std::string(toClass) == "_CONSTRAINT_CLASS_START")
        return EBrevit_BadArgument;
    auto& transitions = engine->constraints[static_cast<size_t>(index)].transitions;
    transitions.push_back(std::string(fromClass) + " -> " + toClass + " " + std::to_string(weight));
    *transitionId = static_cast<int32_t>(transitions.size());
    return EBrevit_OK;
}

EBrevit Brevit_DeleteConstraint(BrevitEngine* engine, int32_t index)
{
    const EBrevit r = enter("DeleteConstraint(" + std::to_string(index) + ")", "DeleteConstraint");
    if (r != kFakeNormal)
        return r;
    if (!validConstraint(engine, index))
        return EBrevit_BadArgument;
    engine->constraints[static_cast<size_t>(index)].live = false;
    return EBrevit_OK;
}

EBrevit Brevit_DeleteAllConstraints(BrevitEngine* engine)
{
    const EBrevit r = enter("DeleteAllConstraints", "DeleteAllConstraints");
    if (r != kFakeNormal)
        return r;
    for (FakeConstraintState& constraint : engine->constraints)
        constraint.live = false;
    return EBrevit_OK;
}

EBrevit Brevit_AddClass(BrevitEngine* engine, const char* name, int32_t sizeHint1, int32_t sizeHint2,
                        int32_t option1, int32_t option2, int32_t kind, int32_t* classId)
{
    logCall("AddClass(" + joinArgs(quoted(name), sizeHint1, sizeHint2, option1, option2, kind) + ")");
    *classId = 0;
    const EBrevit r = scripted("AddClass");
    if (r == kFakeRefuse)
        return EBrevit_OK;
    if (r != kFakeNormal)
        return r;
    if (isBoundary(name) || engine->classes.count(name) != 0 || sizeHint2 < 0)
        return EBrevit_BadArgument;
    engine->classes[name];
    *classId = static_cast<int32_t>(engine->classes.size());
    return EBrevit_OK;
}

EBrevit Brevit_ClassExists(BrevitEngine* engine, const char* name, int32_t* exists)
{
    const EBrevit r = scripted("ClassExists");
    *exists = isBoundary(name) || engine->classes.count(name) != 0;
    logCall("ClassExists(" + quoted(name) + ") " + std::to_string(*exists));
    return r != kFakeNormal ? r : EBrevit_OK;
}

EBrevit Brevit_ClassGetNumMembers(BrevitEngine* engine, const char* name, int32_t* count)
{
    const EBrevit r = scripted("ClassGetNumMembers");
    const auto found = engine->classes.find(name);
    *count = found == engine->classes.end() ? 0 : static_cast<int32_t>(found->second.size());
    logCall("ClassGetNumMembers(" + quoted(name) + ") " + std::to_string(*count));
    return r != kFakeNormal ? r : EBrevit_OK;
}

EBrevit Brevit_AddClassMemberFromIds(BrevitEngine* engine, const char* className, int32_t wordCount,
                                     const VocId* wordIds, int32_t weight, int32_t flag, int32_t* memberId)
{
    logCall("AddClassMemberFromIds(" +
            joinArgs(quoted(className), utf8(wordsText(engine, wordIds, wordCount)), weight, flag) + ")");
    *memberId = 0;
    const EBrevit r = scripted("AddClassMemberFromIds");
    if (r == kFakeRefuse)
        return EBrevit_OK;
    if (r != kFakeNormal)
        return r;
    const auto found = engine->classes.find(className);
    if (found == engine->classes.end() || wordCount < 1 || wordCount > 1024)
        return EBrevit_BadArgument;
    for (int32_t i = 0; i < wordCount; ++i) {
        if (findWord(engine, wordIds[i]) == nullptr)
            return EBrevit_BadArgument;
    }
    found->second.emplace_back(wordIds, wordIds + wordCount);
    *memberId = static_cast<int32_t>(found->second.size());
    return EBrevit_OK;
}

EBrevit Brevit_RemoveClassMembers(BrevitEngine* engine, const char* className, int32_t* count)
{
    const EBrevit r = enter("RemoveClassMembers(" + quoted(className) + ")", "RemoveClassMembers");
    if (r != kFakeNormal)
        return r;
    auto& members = engine->classes[className];
    *count = static_cast<int32_t>(members.size());
    members.clear();
    return EBrevit_OK;
}

EBrevit Brevit_FindBestParse(BrevitEngine* engine, int32_t constraintCount, const int32_t*, int32_t wordCount,
                             const VocId* wordIds, int32_t* bestIndex, uint32_t* classIds, int32_t* cost)
{
    const EBrevit r =
        enter("FindBestParse(" + joinArgs(constraintCount, utf8(wordsText(engine, wordIds, wordCount))) + ")",
              "FindBestParse");
    if (r != kFakeNormal)
        return r;
    *bestIndex = -1;
    *cost = 0;
    for (const FakeListChoice& choice : engine->list) {
        if (static_cast<int32_t>(choice.words.size()) == wordCount &&
            std::equal(choice.words.begin(), choice.words.end(), wordIds)) {
            *bestIndex = choice.constraint;
            break;
        }
    }
    for (int32_t i = 0; i < wordCount; ++i)
        classIds[i] = 0;
    return *bestIndex >= 0 ? EBrevit_OK : EBrevit_EngineError;
}

// ---- Audio input and recognition -------------------------------------------------------

EBrevit Brevit_StartListening(BrevitEngine* engine, uint32_t* utteranceId)
{
    const EBrevit r = enter("StartListening", "StartListening");
    if (r != kFakeNormal)
        return r;
    engine->listening = true;
    *utteranceId = engine->utterances++;
    return EBrevit_OK;
}

EBrevit Brevit_StopListening(BrevitEngine* engine)
{
    const EBrevit r = enter("StopListening", "StopListening");
    if (r != kFakeNormal)
        return r;
    engine->listening = false;
    return EBrevit_OK;
}

EBrevit Brevit_PutWaveSamples(BrevitEngine* engine, const int16_t*, int32_t count, int32_t* status)
{
    const EBrevit r = enter("PutWaveSamples(" + std::to_string(count) + ")", "PutWaveSamples");
    if (r != kFakeNormal)
        return r;
    *status = 0;
    if (!engine->listening) {
        *status = 2;
    } else if (!s_fake.sampleStatuses.empty()) {
        *status = s_fake.sampleStatuses.front();
        s_fake.sampleStatuses.pop_front();
    }
    return EBrevit_OK;
}

EBrevit Brevit_ClearFeatureQueueStats(BrevitEngine*)
{
    const EBrevit r = enter("ClearFeatureQueueStats", "ClearFeatureQueueStats");
    return r != kFakeNormal ? r : EBrevit_OK;
}

EBrevit Brevit_StartRecognizing(BrevitEngine* engine, uint32_t utteranceId, int32_t mode, int32_t leftContextCount,
                                const VocId* leftContextIds, int32_t constraintCount, const int32_t* constraintIndices)
{
    std::ostringstream left;
    left << std::hex << std::uppercase << "0x" << (leftContextIds != nullptr ? leftContextIds[0] : 0);
    const EBrevit r =
        enter("StartRecognizing(" +
                  joinArgs(utteranceId, mode, leftContextCount, left.str(), constraintCount) + ")",
              "StartRecognizing");
    if (r != kFakeNormal)
        return r;
    if (mode == 0 || (constraintCount > 0 && constraintIndices == nullptr))
        return EBrevit_BadArgument;
    for (int32_t i = 0; i < constraintCount; ++i) {
        if (!validConstraint(engine, constraintIndices[i]))
            return EBrevit_BadArgument;
    }
    if ((mode == 8) != engine->enrollment)
        return EBrevit_WrongState;
    engine->mode = mode;
    engine->recognizing = true;
    engine->listBuilt = false;
    return EBrevit_OK;
}

EBrevit Brevit_ProcessFrame(BrevitEngine* engine, int32_t* status)
{
    const EBrevit r = enter("ProcessFrame", "ProcessFrame");
    if (r != kFakeNormal)
        return r;
    if (!engine->recognizing) {
        *status = 0;
        return EBrevit_WrongState;
    }
    *status = 0;
    if (!s_fake.frameStatuses.empty()) {
        *status = s_fake.frameStatuses.front();
        s_fake.frameStatuses.pop_front();
    }
    return EBrevit_OK;
}

EBrevit Brevit_StopRecognizing(BrevitEngine* engine, int32_t reject)
{
    logCall("StopRecognizing(" + std::to_string(reject) + ")");
    engine->recognizing = false;
    const EBrevit r = scripted("StopRecognizing");
    return r != kFakeNormal ? r : EBrevit_OK;
}

EBrevit Brevit_PrecomputeStartRecognizing(BrevitEngine*)
{
    const EBrevit r = enter("PrecomputeStartRecognizing", "PrecomputeStartRecognizing");
    return r != kFakeNormal ? r : EBrevit_OK;
}

// ---- Choice lists ---------------------------------------------------------------------------

EBrevit Brevit_PrepareChoiceList(BrevitEngine* engine, int32_t* count, int32_t* confidence)
{
    const EBrevit r = enter("PrepareChoiceList", "PrepareChoiceList");
    if (r != kFakeNormal)
        return r;
    if (engine->recognizing)
        return EBrevit_NoResult;
    if (engine->mode == 6 || engine->mode == 8) {
        *count = 0;
        return EBrevit_OK;
    }
    buildList(engine);
    *count = static_cast<int32_t>(engine->list.size());
    if (confidence != nullptr)
        *confidence = s_fake.confidence;
    return EBrevit_OK;
}

namespace {

EBrevit choiceWords(BrevitEngine* engine, int32_t choice, int32_t maxWords, VocId* wordIds, int32_t* count)
{
    buildList(engine);
    *count = 0;
    wordIds[0] = 0xFFFFFFFFu;
    if (choice < 0 || choice >= static_cast<int32_t>(engine->list.size()))
        return EBrevit_NoResult;
    const auto& words = engine->list[static_cast<size_t>(choice)].words;
    if (static_cast<int32_t>(words.size()) >= maxWords)
        return EBrevit_BufferTooSmall;
    std::copy(words.begin(), words.end(), wordIds);
    wordIds[words.size()] = 0xFFFFFFFFu;
    *count = static_cast<int32_t>(words.size());
    return EBrevit_OK;
}

}  // namespace

EBrevit Brevit_GetChoice(BrevitEngine* engine, int32_t choice, int32_t maxWords, VocId* wordIds, int32_t* count)
{
    const EBrevit r = enter("GetChoice(" + std::to_string(choice) + ")", "GetChoice");
    if (r != kFakeNormal)
        return r;
    return choiceWords(engine, choice, maxWords, wordIds, count);
}

EBrevit Brevit_GetChoiceAndScoreExtended(BrevitEngine* engine, int32_t choice, int32_t maxWords, int32_t maxExtra,
                                         int32_t, VocId* wordIds, int32_t* count, int32_t* score,
                                         int32_t* nonAcousticScore, const char** classNames,
                                         int32_t* partFirstWords, int32_t* partLengths, int32_t* partCount,
                                         int32_t* constraintIndex, int32_t* zeroArray1, int32_t* zeroArray2,
                                         int32_t* extraArray1, int32_t* extraArray2)
{
    const EBrevit r = enter("GetChoiceAndScoreExtended(" + joinArgs(choice, maxWords, maxExtra) + ")",
                            "GetChoiceAndScoreExtended");
    if (r != kFakeNormal)
        return r;
    if (constraintIndex != nullptr)
        *constraintIndex = -1;
    const EBrevit read = choiceWords(engine, choice, maxWords, wordIds, count);
    if (read != EBrevit_OK)
        return read;
    const FakeListChoice& made = engine->list[static_cast<size_t>(choice)];
    *score = 100 * choice;
    if (nonAcousticScore != nullptr)
        *nonAcousticScore = 0;
    if (constraintIndex != nullptr)
        *constraintIndex = made.constraint;
    for (int32_t i = 0; i < maxExtra; ++i)
        extraArray1[i] = extraArray2[i] = -1;
    for (int32_t i = 0; i < maxWords; ++i) {
        classNames[i] = nullptr;
        partFirstWords[i] = partLengths[i] = -1;
    }
    *partCount = static_cast<int32_t>(made.parts.size());
    for (size_t p = 0; p < made.parts.size(); ++p) {
        // The engine's own class record names the class, not the script.
        classNames[p] = engine->classes.find(made.parts[p].className)->first.c_str();
        partFirstWords[p] = made.parts[p].first;
        partLengths[p] = made.parts[p].length;
        zeroArray1[p] = zeroArray2[p] = 0;
    }
    return EBrevit_OK;
}

EBrevit Brevit_DiscardChoice(BrevitEngine* engine, int32_t choice)
{
    const EBrevit r = enter("DiscardChoice(" + std::to_string(choice) + ")", "DiscardChoice");
    if (r != kFakeNormal)
        return r;
    buildList(engine);
    if (choice < 0 || choice >= static_cast<int32_t>(engine->list.size()))
        return EBrevit_BadArgument;
    engine->list.erase(engine->list.begin() + choice);
    return EBrevit_OK;
}

EBrevit Brevit_ParseChoiceWords(BrevitEngine*, int32_t choice, const char* ruleName, int32_t firstWord,
                                int32_t wordCount, int32_t* changed)
{
    const EBrevit r =
        enter("ParseChoiceWords(" + joinArgs(choice, quoted(ruleName), firstWord, wordCount) + ")",
              "ParseChoiceWords");
    if (r != kFakeNormal)
        return r;
    *changed = 0;
    if (s_fake.parseChanges > 0) {
        --s_fake.parseChanges;
        *changed = 1;
    }
    return EBrevit_OK;
}

EBrevit Brevit_RerecognizeChoiceList(BrevitEngine*, int32_t maxChoices)
{
    const EBrevit r = enter("RerecognizeChoiceList(" + std::to_string(maxChoices) + ")", "RerecognizeChoiceList");
    return r != kFakeNormal ? r : EBrevit_OK;
}

EBrevit Brevit_GrammarClear(BrevitEngine*)
{
    const EBrevit r = enter("GrammarClear", "GrammarClear");
    return r != kFakeNormal ? r : EBrevit_OK;
}

EBrevit Brevit_GrammarAddNonTerminal(BrevitEngine*, const char* ruleName, const char* expansion)
{
    const EBrevit r = enter("GrammarAddNonTerminal(" + joinArgs(quoted(ruleName), quoted(expansion)) + ")",
                            "GrammarAddNonTerminal");
    return r != kFakeNormal ? r : EBrevit_OK;
}

// ---- Words -----------------------------------------------------------------------------------

EBrevit Brevit_MakePhraseActiveU(BrevitEngine* engine, const uint16_t* text, int32_t capacity, VocId* wordIds,
                                 int32_t* count)
{
    logCall("MakePhraseActiveU(" + utf8(text) + ")");
    *count = 0;
    const EBrevit r = scripted("MakePhraseActiveU");
    if (r != kFakeNormal)
        return r;
    const std::u16string phrase(reinterpret_cast<const char16_t*>(text));
    return activate(engine, splitWords(phrase), u"", capacity, wordIds, count);
}

EBrevit Brevit_MakeNameActiveU(BrevitEngine* engine, const uint16_t* text, int32_t capacity, VocId* wordIds,
                               int32_t* count)
{
    logCall("MakeNameActiveU(" + utf8(text) + ")");
    *count = 0;
    const EBrevit r = scripted("MakeNameActiveU");
    if (r != kFakeNormal)
        return r;
    const std::u16string name(reinterpret_cast<const char16_t*>(text));
    return activate(engine, splitWords(name), u"", capacity, wordIds, count);
}

EBrevit Brevit_MakeSpokenPhraseActiveU(BrevitEngine* engine, const uint16_t* writtenText, const uint16_t* spokenText,
                                       int32_t capacity, VocId* wordIds, int32_t* count)
{
    logCall("MakeSpokenPhraseActiveU(" + joinArgs(utf8(writtenText), utf8(spokenText)) + ")");
    *count = 0;
    const EBrevit r = scripted("MakeSpokenPhraseActiveU");
    if (r != kFakeNormal)
        return r;
    const std::u16string written(reinterpret_cast<const char16_t*>(writtenText));
    const std::u16string spoken(reinterpret_cast<const char16_t*>(spokenText));
    return activate(engine, {written}, spoken, capacity, wordIds, count);
}

EBrevit Brevit_RemoveUnreferencedWordIds(BrevitEngine*, int32_t alsoFromWordList, int32_t*)
{
    const EBrevit r = enter("RemoveUnreferencedWordIds(" + std::to_string(alsoFromWordList) + ")",
                            "RemoveUnreferencedWordIds");
    return r != kFakeNormal ? r : EBrevit_OK;
}

// Copies the form; one longer than the buffer is cut and answers 10.
static EBrevit copyForm(const std::u16string& form, int32_t capacity, uint16_t* buffer)
{
    const size_t n = std::min(form.size(), static_cast<size_t>(capacity - 1));
    std::copy(form.begin(), form.begin() + static_cast<long>(n), buffer);
    buffer[n] = 0;
    return n < form.size() ? EBrevit_BufferTooSmall : EBrevit_OK;
}

EBrevit Brevit_GetSurfaceFormU(BrevitEngine* engine, VocId wordId, int32_t capacity, uint16_t* buffer)
{
    const EBrevit r = scripted("GetSurfaceFormU");
    if (r != kFakeNormal)
        return r;
    const FakeWord* word = findWord(engine, wordId);
    if (word == nullptr)
        return EBrevit_BadArgument;
    return copyForm(word->surface, capacity, buffer);
}

EBrevit Brevit_GetSpokenFormU(BrevitEngine* engine, VocId wordId, int32_t capacity, uint16_t* buffer)
{
    const EBrevit r = scripted("GetSpokenFormU");
    if (r != kFakeNormal)
        return r;
    const FakeWord* word = findWord(engine, wordId);
    if (word == nullptr)
        return EBrevit_BadArgument;
    return copyForm(word->spoken, capacity, buffer);
}

EBrevit Brevit_TokenizeU(BrevitEngine* engine, const uint16_t* text, int32_t flagA, int32_t valueB, int32_t capacity,
                         VocId* wordIds, int32_t* boundaries1, int32_t* boundaries2, int32_t* count)
{
    logCall("TokenizeU(" + joinArgs(utf8(text), flagA, valueB, capacity) + ")");
    *count = 0;
    const EBrevit r = scripted("TokenizeU");
    if (r != kFakeNormal)
        return r;
    const std::u16string phrase(reinterpret_cast<const char16_t*>(text));
    for (const std::u16string& word : splitWords(phrase)) {
        if (*count == capacity)
            return EBrevit_BufferTooSmall;
        boundaries1[*count] = boundaries2[*count] = 0;
        wordIds[(*count)++] = wordId(engine, word, word);
    }
    return EBrevit_OK;
}

// ---- Signal-processing packets -----------------------------------------------------------

EBrevit Brevit_GetSigProcPacketSize(BrevitEngine*, int32_t* size)
{
    logCall("GetSigProcPacketSize");
    *size = s_fake.packetSize;
    return EBrevit_OK;
}

EBrevit Brevit_GetSigProcInfoSize(BrevitEngine*, int32_t* size)
{
    logCall("GetSigProcInfoSize");
    *size = s_fake.infoSize;
    return EBrevit_OK;
}

EBrevit Brevit_GetSigProcInfo(BrevitEngine*, void* buffer)
{
    const EBrevit r = enter("GetSigProcInfo", "GetSigProcInfo");
    if (r != kFakeNormal)
        return r;
    for (int32_t i = 0; i < s_fake.infoSize; ++i)
        static_cast<uint8_t*>(buffer)[i] = static_cast<uint8_t>(0xA0 + i);
    return EBrevit_OK;
}

EBrevit Brevit_GetNextSigProcPacket(BrevitEngine* engine, void* buffer, int32_t* status)
{
    const EBrevit r = enter("GetNextSigProcPacket", "GetNextSigProcPacket");
    if (r != kFakeNormal)
        return r;
    *status = 4;
    if (!engine->listening)
        return EBrevit_OK;
    *status = 2;
    if (!s_fake.packetStatuses.empty()) {
        *status = s_fake.packetStatuses.front();
        s_fake.packetStatuses.pop_front();
    }
    if (*status != 2 && *status != 4) {
        static uint8_t packet = 0;
        std::memset(buffer, ++packet, static_cast<size_t>(s_fake.packetSize));
    }
    return EBrevit_OK;
}

// ---- Synthesis ---------------------------------------------------------------------------------

EBrevit Brevit_GetTTSEncoding(BrevitEngine*, int32_t* encoding)
{
    *encoding = s_fake.ttsEncoding;
    return EBrevit_OK;
}

EBrevit Brevit_StartTTSFromIds(BrevitEngine* engine, const VocId*, int32_t count, int32_t encoding, int32_t rate,
                               int32_t adjustmentA, int32_t adjustmentB)
{
    const EBrevit r = enter(
        "StartTTSFromIds(" + joinArgs(engine->serial, count, encoding, rate, adjustmentA, adjustmentB) + ")",
        "StartTTSFromIds");
    if (r != kFakeNormal)
        return r;
    engine->tts = true;
    engine->ttsLeft = s_fake.ttsSamples;
    return EBrevit_OK;
}

EBrevit Brevit_StartTTSFromTextU(BrevitEngine* engine, const uint16_t* text, int32_t encoding, int32_t rate,
                                 int32_t adjustmentA, int32_t adjustmentB)
{
    const EBrevit r = enter("StartTTSFromTextU(" +
            joinArgs(engine->serial, utf8(text), encoding, rate, adjustmentA, adjustmentB) + ")", "StartTTSFromTextU");
    if (r != kFakeNormal)
        return r;
    engine->tts = true;
    engine->ttsLeft = s_fake.ttsSamples;
    return EBrevit_OK;
}

EBrevit Brevit_ProcessTTSPCM(BrevitEngine* engine, int32_t maxSamples, int16_t* samples, int32_t* sampleCount,
                             int32_t* done)
{
    logCall("ProcessTTSPCM(" + joinArgs(engine->serial, maxSamples) + ")");
    *sampleCount = std::min(maxSamples, engine->ttsLeft);
    for (int32_t i = 0; i < *sampleCount; ++i)
        samples[i] = static_cast<int16_t>(i);
    engine->ttsLeft -= *sampleCount;
    *done = engine->ttsLeft == 0;
    return EBrevit_OK;
}

EBrevit Brevit_ProcessTTS(BrevitEngine* engine, int32_t maxBytes, uint8_t* bytes, int32_t* byteCount,
                          int32_t* frames, int32_t* done)
{
    logCall("ProcessTTS(" + joinArgs(engine->serial, maxBytes) + ")");
    *byteCount = std::min(maxBytes, engine->ttsLeft);
    std::memset(bytes, 7, static_cast<size_t>(*byteCount));
    *frames = *byteCount / 10;
    engine->ttsLeft -= *byteCount;
    *done = engine->ttsLeft == 0;
    return EBrevit_OK;
}

EBrevit Brevit_StopTTS(BrevitEngine* engine)
{
    logCall("StopTTS(" + std::to_string(engine->serial) + ")");
    engine->tts = false;
    return EBrevit_OK;
}

// ---- Enrollment ------------------------------------------------------------------------------------

EBrevit Brevit_StartEnrollmentSession(BrevitEngine* engine)
{
    const EBrevit r = enter("StartEnrollmentSession", "StartEnrollmentSession");
    if (r != kFakeNormal)
        return r;
    engine->enrollment = true;
    return EBrevit_OK;
}

EBrevit Brevit_SetEnrollmentConstraint(BrevitEngine* engine, int32_t count, const VocId* wordIds)
{
    const EBrevit r = enter("SetEnrollmentConstraint(" + utf8(wordsText(engine, wordIds, count)) + ")",
                            "SetEnrollmentConstraint");
    return r != kFakeNormal ? r : EBrevit_OK;
}

EBrevit Brevit_ProcessEnrollment(BrevitEngine*)
{
    const EBrevit r = enter("ProcessEnrollment", "ProcessEnrollment");
    return r != kFakeNormal ? r : EBrevit_OK;
}

EBrevit Brevit_EndEnrollmentSession(BrevitEngine* engine, int32_t abandon)
{
    const EBrevit r = enter("EndEnrollmentSession(" + std::to_string(abandon) + ")", "EndEnrollmentSession");
    if (r != kFakeNormal)
        return r;
    if (!engine->enrollment)
        return EBrevit_NoData;
    engine->enrollment = false;
    engine->adapted = engine->adapted || abandon == 0;
    return EBrevit_OK;
}

EBrevit Brevit_GetEnrollmentStatus(BrevitEngine* engine, int32_t* adapted)
{
    const EBrevit r = enter("GetEnrollmentStatus", "GetEnrollmentStatus");
    if (r != kFakeNormal)
        return r;
    *adapted = engine->adapted;
    return EBrevit_OK;
}
