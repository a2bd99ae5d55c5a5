#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/dvk_chunked.h"
#include "core/brevit/runtime/dvk_client_data.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/counting_allocator.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

class EngineClientData : public ::testing::Test {
protected:
    void TearDown() override
    {
        ClientData_Delete(m_store);
        ClientData_Delete(m_loaded);
        m_archive.reset();
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    static int32_t set(ClientData* store, const std::string& key, const std::string& data)
    {
        return ClientData_SetItem(store, key.c_str(), static_cast<uint32_t>(data.size()),
                                  data.data());
    }

    // The item's data, or nullopt when it cannot be had.
    static std::optional<std::string> get(const ClientData* store, const std::string& key)
    {
        uint32_t length = 0xDEAD;
        if (ClientData_FindItem(store, key.c_str(), &length) < 0)
            return std::nullopt;
        std::string data(length, '?');
        if (ClientData_GetItem(store, key.c_str(), data.data()) != 1)
            return std::nullopt;
        return data;
    }

    ArchiveFixture& archive() { return *m_archive; }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
    std::optional<ArchiveFixture> m_archive{std::in_place};
    ClientData* m_store = ClientData_Create(kClientDataChunkSize);
    ClientData* m_loaded = ClientData_Create(kClientDataChunkSize);
};

TEST_F(EngineClientData, SetGetClear)
{
    ASSERT_NE(m_store, nullptr);
    EXPECT_EQ(set(m_store, "a", "alpha"), 1);
    EXPECT_EQ(set(m_store, "b", "bravo!"), 1);
    EXPECT_EQ(m_store->items.length, (6 + 1 + 5) + (6 + 1 + 6));
    EXPECT_EQ(get(m_store, "b"), "bravo!");
    EXPECT_EQ(ClientData_FindItem(m_store, "b", nullptr), 12);

    EXPECT_EQ(ClientData_ClearItem(m_store, "a"), 1);
    EXPECT_EQ(ClientData_FindItem(m_store, "b", nullptr), 0);
    EXPECT_EQ(get(m_store, "b"), "bravo!");
    EXPECT_EQ(get(m_store, "a"), std::nullopt);
    EXPECT_EQ(ClientData_ClearItem(m_store, "a"), 1);
    char buffer[8];
    EXPECT_EQ(ClientData_GetItem(m_store, "a", buffer), 0);

    // Replacing changes the length by the difference of the data lengths.
    const int32_t before = m_store->items.length;
    EXPECT_EQ(set(m_store, "b", "bravissimo"), 1);
    EXPECT_EQ(m_store->items.length, before + 4);
    EXPECT_EQ(get(m_store, "b"), "bravissimo");

    // Empty data and the empty key are items like others.
    EXPECT_EQ(set(m_store, "", ""), 1);
    EXPECT_EQ(get(m_store, ""), "");
    EXPECT_EQ(ClientData_SetItem(m_store, "c", 0, nullptr), 1);
    EXPECT_EQ(get(m_store, "c"), "");
    // Keys are whole strings: a prefix is another key.
    EXPECT_EQ(set(m_store, "bb", "x"), 1);
    EXPECT_EQ(get(m_store, "b"), "bravissimo");

    ClientData_ClearAll(m_store);
    EXPECT_EQ(m_store->items.length, 0);
    EXPECT_EQ(get(m_store, "b"), std::nullopt);
}

TEST_F(EngineClientData, RefusesWhatItCannotStore)
{
    const std::string longKey(0x10000, 'k');
    EXPECT_EQ(set(m_store, longKey, "x"), 0);
    EXPECT_EQ(ClientData_FindItem(m_store, longKey.c_str(), nullptr), -1);
    EXPECT_EQ(m_store->items.length, 0);
    EXPECT_EQ(set(m_store, std::string(0xFFFF, 'k'), "x"), 1);
    EXPECT_EQ(ClientData_SetItem(m_store, nullptr, 1, "x"), 0);
    EXPECT_EQ(ClientData_SetItem(m_store, "k", 1, nullptr), 0);
    EXPECT_EQ(ClientData_SetItem(nullptr, "k", 1, "x"), 0);
    EXPECT_EQ(ClientData_FindItem(nullptr, "k", nullptr), -1);
    EXPECT_EQ(ClientData_Create(24), nullptr);
    ClientData_Delete(nullptr);
}

TEST_F(EngineClientData, AgreesWithAReferenceMapAcrossChunks)
{
    ClientData* store = ClientData_Create(16);
    std::map<std::string, std::string> reference;
    std::mt19937 random(3);
    for (int step = 0; step < 1500; ++step) {
        const std::string key = "key" + std::to_string(random() % 40);
        switch (random() % 4) {
        case 0:
            ASSERT_EQ(ClientData_ClearItem(store, key.c_str()), 1);
            reference.erase(key);
            break;
        default: {
            std::string data(random() % 70, '\0');
            for (char& c : data)
                c = static_cast<char>(random());
            ASSERT_EQ(set(store, key, data), 1);
            reference[key] = data;
        }
        }
        int64_t length = 0;
        for (const auto& [k, d] : reference)
            length += 6 + static_cast<int64_t>(k.size() + d.size());
        ASSERT_EQ(store->items.length, length);
        if (step % 25 == 0) {
            for (int k = 0; k < 40; ++k) {
                const std::string probe = "key" + std::to_string(k);
                auto it = reference.find(probe);
                ASSERT_EQ(get(store, probe),
                          it == reference.end() ? std::nullopt : std::optional(it->second));
            }
        }
    }
    ClientData_Delete(store);
}

TEST_F(EngineClientData, FailedAppendLeavesThePreviousLength)
{
    ClientData* store = ClientData_Create(16);
    EXPECT_EQ(set(store, "keep", "0123456789"), 1);  // 20 bytes: two chunks
    EXPECT_EQ(set(store, "old", "x"), 1);            // 30 bytes
    m_allocator.failNext(true);
    // Needs a third chunk: refused, and the replaced record stays removed.
    EXPECT_EQ(set(store, "old", std::string(40, 'y')), 0);
    m_allocator.failAt(0);
    EXPECT_EQ(store->items.length, 20);
    EXPECT_EQ(get(store, "keep"), "0123456789");
    EXPECT_EQ(get(store, "old"), std::nullopt);
    EXPECT_EQ(set(store, "old", std::string(40, 'y')), 1);
    ClientData_Delete(store);
}

TEST_F(EngineClientData, CorruptRecordsAreNotReadPastTheLength)
{
    // Records whose lengths point past the store: lookups stop, nothing is
    // read beyond the length.
    ClientData* store = ClientData_Create(16);
    EXPECT_EQ(set(store, "a", "12345"), 1);
    const uint32_t hugeData = 0x7FFFFFF0u;
    DVKChunkedArray_Write(&store->items, 3, 4, &hugeData);
    EXPECT_EQ(ClientData_FindItem(store, "b", nullptr), -1);
    EXPECT_EQ(ClientData_FindItem(store, "a", nullptr), -1);
    const uint16_t hugeKey = 0xFFFF;
    DVKChunkedArray_Write(&store->items, 0, 2, &hugeKey);
    EXPECT_EQ(ClientData_FindItem(store, "b", nullptr), -1);
    EXPECT_EQ(ClientData_ClearItem(store, "a"), 1);
    ClientData_Delete(store);
}

TEST_F(EngineClientData, StoreRoundTrip)
{
    // Enough items to fill several 512-byte chunks, then one cleared: the
    // array keeps more chunks than its length needs.
    for (int i = 0; i < 40; ++i)
        ASSERT_EQ(set(m_store, "item" + std::to_string(i), std::string(30 + i, 'a' + i % 26)), 1);
    ASSERT_EQ(set(m_store, "secret", "do-not-keep-me"), 1);
    ASSERT_EQ(ClientData_ClearItem(m_store, "secret"), 1);
    for (int i = 10; i < 40; ++i)
        ASSERT_EQ(ClientData_ClearItem(m_store, ("item" + std::to_string(i)).c_str()), 1);
    EXPECT_GT(m_store->items.chunkCount, (m_store->items.length + 511) / 512);

    EXPECT_EQ(ClientData_WriteBinFile(m_store, archive().tar(), nullptr), 1);
    EXPECT_EQ(ClientData_WriteBinFile(m_store, archive().tar(), "bdec0/"), 1);
    archive().finish();
    EXPECT_EQ(archive().bytes().find("do-not-keep-me"), std::string::npos);

    for (bool mapped : {false, true}) {
        DVKTar* tar = mapped ? archive().openMapped() : archive().openForRead();
        ASSERT_NE(tar, nullptr);
        for (const char* prefix : {static_cast<const char*>(nullptr), "bdec0/"}) {
            ClientData_ClearAll(m_loaded);
            ASSERT_EQ(ClientData_LoadFromBinFile(m_loaded, tar, prefix), 1);
            EXPECT_EQ(m_loaded->items.length, m_store->items.length);
            for (int i = 0; i < 10; ++i) {
                const std::string key = "item" + std::to_string(i);
                EXPECT_EQ(get(m_loaded, key), get(m_store, key)) << key;
            }
            EXPECT_EQ(get(m_loaded, "item10"), std::nullopt);
            // A loaded store goes on working.
            EXPECT_EQ(set(m_loaded, "new", "value"), 1);
            EXPECT_EQ(get(m_loaded, "new"), "value");
            // Loading needs an empty store.
            EXPECT_EQ(ClientData_LoadFromBinFile(m_loaded, tar, prefix), 0);
        }
        ClientData_ClearAll(m_loaded);
        EXPECT_EQ(ClientData_LoadFromBinFile(m_loaded, tar, "other/"), 0);
        archive().close(tar);
    }
}

TEST_F(EngineClientData, EmptyAndMissingStores)
{
    EXPECT_EQ(ClientData_WriteBinFile(nullptr, archive().tar(), nullptr), 1);
    EXPECT_EQ(DVKTar_GetNSubFiles(archive().tar()), 0);
    EXPECT_EQ(ClientData_WriteBinFile(m_store, archive().tar(), nullptr), 1);
    archive().finish();
    DVKTar* tar = archive().openForRead();
    ASSERT_NE(tar, nullptr);
    EXPECT_EQ(ClientData_LoadFromBinFile(m_loaded, tar, nullptr), 1);
    EXPECT_EQ(m_loaded->items.length, 0);
    EXPECT_EQ(ClientData_LoadFromBinFile(m_loaded, tar, "missing/"), 0);
    EXPECT_EQ(ClientData_LoadFromBinFile(nullptr, tar, nullptr), 0);
}

// Stored forms whose records do not hold together are refused and leave the
// store empty and usable.
TEST_F(EngineClientData, BrokenRecordChainsAreRefused)
{
    auto record = [](const std::string& key, const std::string& data, int64_t keyLength = -1,
                     int64_t dataLength = -1) {
        const uint16_t k = static_cast<uint16_t>(keyLength < 0 ? key.size() : keyLength);
        const uint32_t d = static_cast<uint32_t>(dataLength < 0 ? data.size() : dataLength);
        std::string out(reinterpret_cast<const char*>(&k), 2);
        out += key;
        out.append(reinterpret_cast<const char*>(&d), 4);
        return out + data;
    };
    struct Case {
        const char* name;
        std::string records;
    };
    const Case cases[] = {
        {"key past the end", record("a", "1") + record("b", "", 200)},
        {"data past the end", record("a", "1", -1, 99)},
        {"partial header", record("a", "1") + std::string(3, '\0')},
        {"same key twice", record("a", "1") + record("b", "2") + record("a", "3")},
        {"empty key twice", record("", "1") + record("", "2")},
    };
    for (const Case& c : cases) {
        ClientData* store = ClientData_Create(16);
        ASSERT_NE(store, nullptr);
        ASSERT_EQ(DVKChunkedArray_Write(&store->items, 0, static_cast<int32_t>(c.records.size()),
                                        c.records.data()),
                  static_cast<int32_t>(c.records.size()));
        ArchiveFixture fixture(std::string("broken_") + std::to_string(&c - cases) + ".dvk");
        EXPECT_EQ(ClientData_WriteBinFile(store, fixture.tar(), nullptr), 1);
        fixture.finish();
        ClientData_Delete(store);

        DVKTar* tar = fixture.openForRead();
        ASSERT_NE(tar, nullptr);
        ClientData_ClearAll(m_loaded);
        EXPECT_EQ(ClientData_LoadFromBinFile(m_loaded, tar, nullptr), 0) << c.name;
        EXPECT_EQ(m_loaded->items.length, 0) << c.name;
        EXPECT_EQ(set(m_loaded, "x", "y"), 1) << c.name;
    }
}

} // namespace
