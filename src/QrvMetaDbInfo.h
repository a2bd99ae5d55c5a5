// The contacts revision watermark of the stored voice data: the highest
// person "_rev" the voice data covers (-1: none, the next grammar update is
// a full one). Kept in a static for the process and stored across runs as
// one record of the service's own database kind "com.orvel.merrowind:1".
#pragma once

#include "platform/core/wex_object.h"
#include "platform/core/wex_signal.h"
#include "platform/core/wex_string.h"
#include "platform/db/wex_db_service_client.h"

#include <string>
#include <vector>

class QrvMetaDbInfo {
public:
    using Callback = void (*)(void*);

    static long long getMetaDbInfoWatermark();
    // Raises the watermark to `rev` when that is greater.
    static void updateMetaDbInfoWatermark(long long rev);
    static void setMetaDbInfoWatermark(long long value);

    // "UI": settles the watermark from the stored record (only when this
    // language's voice data exists), then calls callback(argument) exactly
    // once, on every path.
    static void readMetaDbInfoFile(Callback callback, void* argument);
    // Any thread: replaces the stored records by one with the watermark of
    // now; the work is posted to "UI", where the database client lives.
    static void writeMetaDbInfoFile();
    // Removes "merrowindData.bin" from the writable data directory.
    static void deleteMetaDbInfoFile();

    // The current language's voice data ("dvk_voc_<language>.dat", lower case)
    // in the writable data directory.
    static std::string voiceDataPath();
};

// The record's reads and writes, on "UI".
class QrvMetaDbInfoGetter : public WexSignalHandler {
public:
    static constexpr const char* idFieldName = "_id";
    static constexpr const char* revFieldName = "_rev";
    static constexpr const char* kindFieldName = "_kind";
    static constexpr const char* versionFieldName = "recognizer_version";
    static constexpr const char* revWatermarkFieldName = "rev_watermark";

    explicit QrvMetaDbInfoGetter(WexService* service);

    void setCallback(QrvMetaDbInfo::Callback callback, void* argument);
    void putKind();
    void deleteEntries(const std::vector<WexObject>& ids);
    void putInfo(long long watermark);
    // A write by a getter that no read made: the kind may not be registered
    // yet (the first run, before any voice data). The registration goes out
    // just before the put, on the same connection, so the database has it
    // first; the put is not held back for its reply, as the service may end
    // right after the write.
    void registerKindBeforePut();

    WexErr putKindResult(WexObject& reply, WexErr err);
    WexErr getResult(WexObject& reply, WexErr err);
    WexErr deleteResult(WexObject& reply, WexErr err);
    WexErr putResult(WexObject& reply, WexErr err);
    WexErr writeKindResult(WexObject& reply, WexErr err);

protected:
    ~QrvMetaDbInfoGetter() override = default;

private:
    // The read is over: the callback runs, once.
    void finish();

    WexString m_kind;
    WexReplySlot m_getSlot{this, &QrvMetaDbInfoGetter::getResult};
    WexReplySlot m_deleteSlot{this, &QrvMetaDbInfoGetter::deleteResult};
    WexReplySlot m_putSlot{this, &QrvMetaDbInfoGetter::putResult};
    WexReplySlot m_putKindSlot{this, &QrvMetaDbInfoGetter::putKindResult};
    WexReplySlot m_writeKindSlot{this, &QrvMetaDbInfoGetter::writeKindResult};
    WexDbServiceClient m_db;
    QrvMetaDbInfo::Callback m_callback = nullptr;
    void* m_argument = nullptr;
    long long m_watermark = -1;
    std::vector<WexObject> m_ids;
};
