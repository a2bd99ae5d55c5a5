#include "core/brevit/acoustic/am.h"
#include "core/brevit/api/brevit_audio_input.h"
#include "core/brevit/api/brevit_choice_list.h"
#include "core/brevit/api/brevit_crc.h"
#include "core/brevit/api/brevit_create.h"
#include "core/brevit/api/brevit_version_record.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "tests/brevit/api/create/model_set_fixture.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <map>

namespace {

using model_set::ModelSetSpec;

std::vector<uint32_t> crcArray(BrevitEngine* engine)
{
    const uint32_t* array = nullptr;
    int32_t count = 0;
    EXPECT_EQ(Brevit_ComputeCRCArray(engine, 0, &array, &count), EBrevit_OK);
    EXPECT_EQ(count, 8);
    return array != nullptr ? std::vector<uint32_t>(array, array + 8) : std::vector<uint32_t>{};
}

std::string item(BrevitEngine* engine, const char* name)
{
    int32_t length = -2;
    EXPECT_EQ(Brevit_GetClientDataInfo(engine, name, &length), EBrevit_OK);
    if (length < 0)
        return "<none>";
    std::string data(static_cast<size_t>(length), '\0');
    EXPECT_EQ(Brevit_GetClientDataItem(engine, name, data.data()), EBrevit_OK);
    return data;
}

void set(BrevitEngine* engine, const char* name, const std::string& data)
{
    ASSERT_EQ(Brevit_SetClientDataItem(engine, name, static_cast<int32_t>(data.size()), data.data()), EBrevit_OK);
}

// Storage names are relative to the writable data directory, as the suite
// passes them; the file itself lies there.
std::string onDisk(const std::string& name)
{
    return (std::filesystem::path(dvkOemWritableDir()) / name).string();
}

model_set::Records savedRecords(const std::string& name)
{
    return model_set::parse(model_set::readFile(onDisk(name)));
}

std::vector<uint8_t> savedPresence(const std::string& path)
{
    const std::string record = savedRecords(path).at("brevitversion").data;
    return std::vector<uint8_t>(record.begin() + 96, record.begin() + 109);
}

int32_t savedMode(const std::string& path)
{
    const std::string record = savedRecords(path).at("brevitversion").data;
    int32_t mode = 0;
    std::memcpy(&mode, record.data() + 52, 4);
    return mode;
}

class StorageTest : public ModelSetTest {
protected:
    void SetUp() override
    {
        ModelSetTest::SetUp();
        m_setPath = write(ModelSetSpec{});
    }
    BrevitEngine* fresh()
    {
        BrevitEngine* engine = nullptr;
        EXPECT_EQ(create(m_setPath, &engine), EBrevit_OK);
        return engine;
    }
    std::string m_setPath;
};

TEST_F(StorageTest, OneArchiveRoundTripGivesEqualChecksumsAndClientData)
{
    BrevitEngine* source = fresh();
    set(source, "alpha", "one");
    set(source, "beta", std::string("\0two", 4));
    const std::string path = std::string("user.dvk");
    ASSERT_EQ(Brevit_SaveToStorage(source, path.c_str()), EBrevit_OK);
    EXPECT_EQ(savedMode(path), 3);
    EXPECT_FALSE(std::filesystem::exists(onDisk(path) + ".tmp"));

    BrevitEngine* target = fresh();
    ASSERT_EQ(Brevit_LoadFromStorage(target, path.c_str()), EBrevit_OK);
    EXPECT_EQ(crcArray(target), crcArray(source));
    EXPECT_EQ(item(target, "alpha"), "one");
    EXPECT_EQ(item(target, "beta"), std::string("\0two", 4));
}

TEST_F(StorageTest, PairRoundTripSplitsSpeakerAndWords)
{
    BrevitEngine* source = fresh();
    set(source, "alpha", "one");
    const std::string a = std::string("user_a.dvk");
    const std::string b = std::string("user_b.dvk");
    ASSERT_EQ(Brevit_SaveToStoragePair(source, a.c_str(), b.c_str()), EBrevit_OK);
    EXPECT_EQ(savedMode(a), 4);
    EXPECT_EQ(savedMode(b), 5);
    // Client data travels with A, the vocabulary with B.
    EXPECT_TRUE(savedRecords(a).has("bcld0"));
    EXPECT_FALSE(savedRecords(b).has("bcld0"));
    EXPECT_EQ(savedPresence(a), savedPresence(b));

    BrevitEngine* target = fresh();
    ASSERT_EQ(Brevit_LoadFromStoragePair(target, a.c_str(), b.c_str()), EBrevit_OK);
    EXPECT_EQ(crcArray(target), crcArray(source));
    EXPECT_EQ(item(target, "alpha"), "one");
}

TEST_F(StorageTest, OnlyTheGivenHalfIsWritten)
{
    BrevitEngine* engine = fresh();
    const std::string a = std::string("only_a.dvk");
    const std::string b = std::string("only_b.dvk");
    ASSERT_EQ(Brevit_SaveToStoragePair(engine, nullptr, b.c_str()), EBrevit_OK);
    EXPECT_FALSE(std::filesystem::exists(onDisk(a)));
    EXPECT_EQ(savedMode(b), 5);
    EXPECT_EQ(Brevit_SaveToStoragePair(engine, nullptr, nullptr), EBrevit_BadArgument);
    ASSERT_EQ(Brevit_LoadFromStoragePair(engine, nullptr, b.c_str()), EBrevit_OK);
}

TEST_F(StorageTest, ModeMismatchesAndBadStorageAnswerThree)
{
    BrevitEngine* engine = fresh();
    const std::string one = std::string("one.dvk");
    ASSERT_EQ(Brevit_SaveToStorage(engine, one.c_str()), EBrevit_OK);
    EXPECT_EQ(Brevit_LoadFromStoragePair(engine, one.c_str(), nullptr), EBrevit_StoredDataError);
    EXPECT_EQ(Brevit_LoadFromStoragePair(engine, nullptr, one.c_str()), EBrevit_StoredDataError);
    EXPECT_EQ(Brevit_LoadFromStorage(engine, m_setPath.c_str()), EBrevit_StoredDataError);
    EXPECT_EQ(Brevit_LoadFromStorage(engine, std::string("absent.dvk").c_str()), EBrevit_StoredDataError);
    // A stored client data store that does not hold together.
    model_set::Records r = savedRecords(one);
    r.cut("bcld0", 3);
    const std::string damaged = write(r, "damaged.dvk");
    EXPECT_EQ(Brevit_LoadFromStorage(engine, damaged.c_str()), EBrevit_StoredDataError);
    EXPECT_EQ(Brevit_SaveToStorage(engine, nullptr), EBrevit_BadArgument);
    EXPECT_EQ(Brevit_LoadFromStorage(engine, nullptr), EBrevit_BadArgument);
    engine->listening = 1;
    EXPECT_EQ(Brevit_SaveToStorage(engine, one.c_str()), EBrevit_WrongState);
    EXPECT_EQ(Brevit_LoadFromStorage(engine, one.c_str()), EBrevit_WrongState);
    engine->listening = 0;
}

TEST_F(StorageTest, LoadReplacesClientDataSetBeforeIt)
{
    BrevitEngine* source = fresh();
    set(source, "kept", "stored");
    const std::string path = std::string("client.dvk");
    ASSERT_EQ(Brevit_SaveToStorage(source, path.c_str()), EBrevit_OK);

    BrevitEngine* target = fresh();
    set(target, "local", "set before the load");
    ASSERT_EQ(Brevit_LoadFromStorage(target, path.c_str()), EBrevit_OK);
    EXPECT_EQ(item(target, "kept"), "stored");
    EXPECT_EQ(item(target, "local"), "<none>");
    // A second load reads into the store the first one filled.
    ASSERT_EQ(Brevit_LoadFromStorage(target, path.c_str()), EBrevit_OK);
    EXPECT_EQ(item(target, "kept"), "stored");
}

TEST_F(StorageTest, ModelThreeIsNeitherMarkedNorSaved)
{
    ModelSetSpec spec;
    spec.models[1] = model_set::defaultModel(2);
    spec.models[3] = model_set::defaultModel(3);
    BrevitEngine* engine = created(spec, "four_models.dvk");
    ASSERT_NE(engine, nullptr);
    ASSERT_NE(engine->acousticModel3, nullptr);
    const std::string path = std::string("four_models_user.dvk");
    ASSERT_EQ(Brevit_SaveToStorage(engine, path.c_str()), EBrevit_OK);
    const std::vector<uint8_t> presence = savedPresence(path);
    EXPECT_EQ(presence[kPresenceModel1], 1);
    EXPECT_EQ(presence[kPresenceModel3], 0);
    EXPECT_EQ(presence[kPresenceDecoder0 + 4], 1);
    std::vector<std::string> adapted;
    for (const model_set::Record& r : savedRecords(path).list)
        if (r.name.rfind("bamp", 0) == 0)
            adapted.push_back(r.name);
    EXPECT_EQ(adapted, (std::vector<std::string>{"bamp0", "bamp1"}));
}

// Writes are made to fail at every place in the file by a file-size limit.
TEST_F(StorageTest, AFailedSaveKeepsTheOldFileByteForByte)
{
    BrevitEngine* engine = fresh();
    set(engine, "alpha", "one");
    const std::string path = std::string("kept.dvk");
    ASSERT_EQ(Brevit_SaveToStorage(engine, path.c_str()), EBrevit_OK);
    const std::string old = model_set::readFile(onDisk(path));
    set(engine, "alpha", "changed");
    // Every sub-file's start and middle.
    std::vector<size_t> limits = {0, 10};
    size_t at = 18;
    for (const model_set::Record& r : savedRecords(path).list) {
        at += 2 + r.name.size() + 8;
        limits.push_back(at + 1);
        limits.push_back(at + r.data.size() / 2);
        at += r.data.size();
    }
    signal(SIGXFSZ, SIG_IGN);
    rlimit previous;
    getrlimit(RLIMIT_FSIZE, &previous);
    for (size_t limit : limits) {
        rlimit lowered = previous;
        lowered.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &lowered);
        const EBrevit result = Brevit_SaveToStorage(engine, path.c_str());
        setrlimit(RLIMIT_FSIZE, &previous);
        EXPECT_EQ(result, EBrevit_StorageWriteError) << "limit " << limit;
        EXPECT_EQ(model_set::readFile(onDisk(path)), old) << "limit " << limit;
        EXPECT_FALSE(std::filesystem::exists(onDisk(path) + ".tmp")) << "limit " << limit;
    }
    signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(Brevit_SaveToStorage(engine, path.c_str()), EBrevit_OK);
    EXPECT_NE(model_set::readFile(onDisk(path)), old);
}

// ---- client data ----------------------------------------------------------------------

TEST_F(StorageTest, ClientDataEntries)
{
    BrevitEngine* engine = fresh();
    int32_t length = 0;
    EXPECT_EQ(Brevit_GetClientDataInfo(engine, "never", &length), EBrevit_OK);
    EXPECT_EQ(length, -1);
    EXPECT_EQ(Brevit_SetClientDataItem(engine, "empty", 0, nullptr), EBrevit_OK);
    EXPECT_EQ(Brevit_GetClientDataInfo(engine, "empty", &length), EBrevit_OK);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(Brevit_SetClientDataItem(engine, "bad", -1, "x"), EBrevit_BadArgument);
    EXPECT_EQ(Brevit_SetClientDataItem(engine, "", 1, "x"), EBrevit_BadArgument);
    EXPECT_EQ(Brevit_SetClientDataItem(engine, nullptr, 1, "x"), EBrevit_BadArgument);
    const std::string longName(65536, 'n');
    EXPECT_EQ(Brevit_SetClientDataItem(engine, longName.c_str(), 1, "x"), EBrevit_BadArgument);
    EXPECT_EQ(Brevit_GetClientDataInfo(engine, "x", nullptr), EBrevit_BadArgument);
    char buffer[8];
    EXPECT_EQ(Brevit_GetClientDataItem(engine, "never", buffer), EBrevit_BadArgument);
    EXPECT_EQ(Brevit_ClearClientDataItem(engine, "never"), EBrevit_EngineError);
    EXPECT_EQ(Brevit_ClearClientDataItem(engine, ""), EBrevit_BadArgument);
    set(engine, "a", "1");
    set(engine, "a", "22");
    EXPECT_EQ(item(engine, "a"), "22");
    EXPECT_EQ(Brevit_ClearClientDataItem(engine, "a"), EBrevit_OK);
    EXPECT_EQ(item(engine, "a"), "<none>");
    set(engine, "b", "3");
    EXPECT_EQ(Brevit_ClearAllClientData(engine), EBrevit_OK);
    EXPECT_EQ(item(engine, "b"), "<none>");
    EXPECT_EQ(item(engine, "empty"), "<none>");
}

// ---- checksums -------------------------------------------------------------------------

TEST_F(StorageTest, TwoEnginesOfOneSetHaveOneChecksumUntilAMeanChanges)
{
    BrevitEngine* first = fresh();
    BrevitEngine* second = fresh();
    uint32_t a = 0, b = 1;
    ASSERT_EQ(Brevit_ComputeCRC(first, 0, &a), EBrevit_OK);
    ASSERT_EQ(Brevit_ComputeCRC(second, 0, &b), EBrevit_OK);
    EXPECT_EQ(a, b);
    EXPECT_EQ(crcArray(first), crcArray(second));
    static_cast<uint8_t*>(second->acousticModel0->means.data)[5] ^= 1;
    ASSERT_EQ(Brevit_ComputeCRC(second, 0, &b), EBrevit_OK);
    EXPECT_NE(a, b);
    EXPECT_EQ(Brevit_ComputeCRC(second, 0, nullptr), EBrevit_BadArgument);
    const uint32_t* array = nullptr;
    EXPECT_EQ(Brevit_ComputeCRCArray(second, 0, &array, nullptr), EBrevit_BadArgument);
}

TEST_F(StorageTest, ChecksumArrayMarksWhatIsMissing)
{
    BrevitEngine* engine = fresh();
    const std::vector<uint32_t> crcs = crcArray(engine);
    EXPECT_EQ(crcs[3], 0xFFFFFFFFu);  // no synthesis
    EXPECT_EQ(crcs[6], 0xFFFFFFFFu);  // no grammar
    // The audio input's state chained with the recognition state (all ones).
    EXPECT_EQ(crcs[7], DVKCrc_AddInt(0xFFFFFFFFu,
                                     DVKCrc_AddInt(BrevitPriv_AudioInputCRC(engine), 0xFFFFFFFFu)));
    EXPECT_NE(BrevitPriv_AudioInputCRC(engine), 0xFFFFFFFFu);

    ModelSetSpec spec;
    spec.grammar = grammar_file::Spec{};
    spec.decoders[0].present = false;
    spec.decoders[1].kind = 8;
    spec.params.word(kBrevitParamFastDecoderKind8, 1);
    BrevitEngine* other = created(spec, "flagged.dvk");
    ASSERT_NE(other, nullptr);
    const std::vector<uint32_t> flagged = crcArray(other);
    EXPECT_NE(flagged[6], 0xFFFFFFFFu);
    EXPECT_EQ(flagged[7], 0xFFFFFFFFu);
}

TEST_F(StorageTest, ChoiceListChecksumCoversListedChoicesOnly)
{
    CountingAllocator allocator;
    ScopedEngineContext context(allocator);
    ScopedParamBlock block(ParamBlockBuilder().word(kBrevitParamNBestRecords, 4).word(kBrevitParamChoiceWordSlots, 16));
    BrevitChoiceList* list = BrevitChoiceList_Create();
    ASSERT_NE(list, nullptr);
    // Two choices: 7 8 | 9, then a third past the count.
    const uint32_t words[] = {7, 8, kBrevitChoiceEnd, 9, kBrevitChoiceEnd, 4, kBrevitChoiceEnd};
    std::memcpy(list->wordIds, words, sizeof(words));
    list->count = 2;
    list->scores[0] = 100;
    list->scores[1] = 200;
    list->scores[2] = 300;
    const uint32_t base = BrevitPriv_ChoiceListCRC(list);
    auto moves = [&](auto change) {
        BrevitChoiceList* copy = BrevitChoiceList_Clone(list);
        change(copy);
        const uint32_t crc = BrevitPriv_ChoiceListCRC(copy);
        BrevitChoiceList_Delete(copy);
        return crc != base;
    };
    EXPECT_TRUE(moves([](BrevitChoiceList* l) { l->wordIds[0] = 6; }));
    EXPECT_TRUE(moves([](BrevitChoiceList* l) { l->wordIds[3] = 6; }));
    EXPECT_TRUE(moves([](BrevitChoiceList* l) { l->classEnds[0] = 1; }));
    EXPECT_TRUE(moves([](BrevitChoiceList* l) { l->scores[1] = 201; }));
    EXPECT_TRUE(moves([](BrevitChoiceList* l) { l->count = 1; }));
    // A choice's last word has no class-end byte in the sum.
    EXPECT_FALSE(moves([](BrevitChoiceList* l) { l->classEnds[1] = 1; }));
    EXPECT_FALSE(moves([](BrevitChoiceList* l) { l->wordIds[5] = 5; }));
    EXPECT_FALSE(moves([](BrevitChoiceList* l) { l->scores[2] = 301; }));
    // A listed choice not ended within the slots counts as -1.
    EXPECT_TRUE(moves([](BrevitChoiceList* l) {
        for (int32_t i = 0; i < l->wordSlots; ++i)
            l->wordIds[i] = 1;
    }));
    BrevitChoiceList_Delete(list);
}

}  // namespace

namespace {

// Full paths are saved through the temporary file as well.
TEST_F(StorageTest, SavesUnderAFullPath)
{
    BrevitEngine* engine = fresh();
    set(engine, "alpha", "one");
    const std::string path = pathOf("full_path_user.dvk");
    ASSERT_EQ(Brevit_SaveToStorage(engine, path.c_str()), EBrevit_OK);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    BrevitEngine* target = fresh();
    ASSERT_EQ(Brevit_LoadFromStorage(target, path.c_str()), EBrevit_OK);
    EXPECT_EQ(item(target, "alpha"), "one");
}

}  // namespace
