#include "src/QrvMetaDbInfo.h"

#include "oem/dvk_oem_file.h"
#include "platform/db/wex_db_query.h"
#include "src/QrVoiceCmdServiceApp.h"
#include "src/QrvFileSystem.h"
#include "src/QrvLangSettingGetter.h"
#include "src/QrvLog.h"
#include "src/QrvWorkQueues.h"

#include <atomic>

namespace {

WexLogger& uiLog()
{
    return QrvLog::UIthread::qrvLogContacts;
}

std::atomic<long long> s_revWatermark{-1};
// The current getter; "UI" only.
WexRefCountedPtr<QrvMetaDbInfoGetter> metaDbInfoGetter;

constexpr const char* kServiceId = "com.orvel.merrowind";

std::string errorText(const char* what, WexErr err)
{
    return std::string(what) + wexErrText(err);
}

void writeOnUi(void* watermark)
{
    std::unique_ptr<long long> value(static_cast<long long*>(watermark));
    if (!metaDbInfoGetter) {
        uiLog().log(WexLogWarning, "%s: meta-db getter missing.  Creating one...", "writeMetaDbInfoFile");
        metaDbInfoGetter = wexMakeRefCounted<QrvMetaDbInfoGetter>(QrVoiceCmdServiceApp::getSornaService());
        if (!metaDbInfoGetter)
            return;
        metaDbInfoGetter->registerKindBeforePut();
    }
    metaDbInfoGetter->putInfo(*value);
}

} // namespace

long long QrvMetaDbInfo::getMetaDbInfoWatermark()
{
    return s_revWatermark.load();
}

void QrvMetaDbInfo::updateMetaDbInfoWatermark(long long rev)
{
    QrvLog::multiThread::qrvLog().log(WexLogDebug, "%s(%lld)", __func__, rev);
    long long current = s_revWatermark.load();
    while (rev > current && !s_revWatermark.compare_exchange_weak(current, rev)) {
    }
}

void QrvMetaDbInfo::setMetaDbInfoWatermark(long long value)
{
    QrvLog::multiThread::qrvLog().log(WexLogDebug, "%s(%lld)", __func__, value);
    s_revWatermark.store(value);
}

std::string QrvMetaDbInfo::voiceDataPath()
{
    // Built without a fixed buffer, from the lower-case language string the
    // suite names its files with.
    const std::string name = "dvk_voc_" + QrvLangSettingGetter::getCurrentLanguageFileString() + ".dat";
    return QrvFileSystem::makeFullPathname1(name.c_str());
}

void QrvMetaDbInfo::readMetaDbInfoFile(Callback callback, void* argument)
{
    const std::string path = voiceDataPath();
    if (!dvk_oem_file_fexist(path.c_str())) {
        uiLog().log(WexLogDebug, "%s: No sync info available.", __func__);
        callback(argument);
        return;
    }
    metaDbInfoGetter = wexMakeRefCounted<QrvMetaDbInfoGetter>(QrVoiceCmdServiceApp::getSornaService());
    if (!metaDbInfoGetter) {
        callback(argument);
        return;
    }
    metaDbInfoGetter->setCallback(callback, argument);
    metaDbInfoGetter->putKind();
}

void QrvMetaDbInfo::writeMetaDbInfoFile()
{
    QrvLog::multiThread::qrvLog().log(WexLogDebug, "%s()", __func__);
    // The watermark of now; posts to "UI" run in posting order.
    QrvExecuteInUiThread(writeOnUi, new long long(s_revWatermark.load()), QRV_THREAD_ALWAYS_POST);
}

void QrvMetaDbInfo::deleteMetaDbInfoFile()
{
    dvk_oem_file_remove(QrvFileSystem::makeFullPathname1("merrowindData.bin").c_str());
}

// ---- the getter -------------------------------------------------------------------

QrvMetaDbInfoGetter::QrvMetaDbInfoGetter(WexService* service)
    : m_kind(std::string(kServiceId) + ":1"), m_db(service, WexDbServiceDefs::ServiceName)
{
}

void QrvMetaDbInfoGetter::setCallback(QrvMetaDbInfo::Callback callback, void* argument)
{
    m_callback = callback;
    m_argument = argument;
}

void QrvMetaDbInfoGetter::finish()
{
    QrvMetaDbInfo::Callback callback = m_callback;
    m_callback = nullptr;
    if (callback != nullptr)
        callback(m_argument);
}

void QrvMetaDbInfoGetter::putKind()
{
    WexObject kind = WexObject::object();
    kind.put("id", m_kind);
    kind.put("owner", kServiceId);
    if (m_db.service() == nullptr || m_db.putKind(m_putKindSlot, kind) != WexErrNone) {
        uiLog().log(WexLogError, "%s: put kind failure", __func__);
        // The bring-up waits for the read: it ends here, watermark unchanged.
        finish();
    }
}

WexErr QrvMetaDbInfoGetter::putKindResult(WexObject&, WexErr)
{
    WexDbQuery query;
    query.from(m_kind);
    for (const char* property : {idFieldName, revFieldName, versionFieldName, revWatermarkFieldName})
        query.select(property);
    if (m_db.find(m_getSlot, query, false, false) != WexErrNone) {
        uiLog().log(WexLogError, "%s: db query failure", __func__);
        finish();
    }
    return WexErrNone;
}

WexErr QrvMetaDbInfoGetter::getResult(WexObject& reply, WexErr err)
{
    if (err != WexErrNone) {
        uiLog().log(WexLogDebug, "%s: %s", __func__, errorText("persons db request failed: ", err).c_str());
        finish();
        return WexErrNone;
    }
    WexObject results;
    if (reply.get("results", results) != WexErrNone) {
        uiLog().log(WexLogWarning, "%s: meta data not available", __func__);
        finish();
        return WexErrNone;
    }
    QrvLog::printObject(uiLog(), WexLogInfo, __func__, results);
    std::vector<WexObject> bad;
    m_ids.clear();
    for (size_t i = 0; i < results.size(); ++i) {
        WexObject entry;
        if (results.at(i, entry) != WexErrNone) {
            uiLog().log(WexLogError, "%s: unable to access entry #%d", __func__, static_cast<int>(i));
            continue;
        }
        std::string json;
        entry.toJson(json);
        uiLog().log(WexLogInfo, "%s:%d: %s", __func__, static_cast<int>(i), json.c_str());
        std::string id;
        if (entry.get(idFieldName, id) != WexErrNone) {
            uiLog().log(WexLogError, "%s: %s missing", __func__, idFieldName);
            continue;
        }
        m_ids.emplace_back(std::string_view(id));
        std::string version;
        int64_t watermark = 0;
        if (entry.get(versionFieldName, version) != WexErrNone) {
            uiLog().log(WexLogError, "%s: version missing", __func__);
            bad.emplace_back(std::string_view(id));
        } else if (version != QrVoiceCmdServiceApp::VERSION) {
            uiLog().log(WexLogError, "%s: version incorrect.", __func__);
            bad.emplace_back(std::string_view(id));
        } else if (entry.get(revWatermarkFieldName, watermark) != WexErrNone) {
            uiLog().log(WexLogError, "%s: watermark missing", __func__);
            bad.emplace_back(std::string_view(id));
        } else {
            QrvMetaDbInfo::setMetaDbInfoWatermark(watermark);
        }
    }
    deleteEntries(bad);
    finish();
    return WexErrNone;
}

void QrvMetaDbInfoGetter::deleteEntries(const std::vector<WexObject>& ids)
{
    if (ids.empty())
        return;
    if (m_db.del(m_deleteSlot, WexDbClient::Objects(ids.data(), ids.size()), 0) != WexErrNone)
        uiLog().log(WexLogError, "%s: db query failure", __func__);
}

WexErr QrvMetaDbInfoGetter::deleteResult(WexObject&, WexErr err)
{
    if (err != WexErrNone)
        uiLog().log(WexLogDebug, "%s: %s", __func__, errorText("delete request failed: ", err).c_str());
    return WexErrNone;
}

void QrvMetaDbInfoGetter::putInfo(long long watermark)
{
    uiLog().log(WexLogInfo, "%s: rev watermark = %lld", __func__, watermark);
    deleteEntries(m_ids);
    WexObject record = WexObject::object();
    record.put(kindFieldName, m_kind);
    record.put(versionFieldName, QrVoiceCmdServiceApp::VERSION);
    record.put(revWatermarkFieldName, static_cast<int64_t>(watermark));
    if (m_db.service() == nullptr || m_db.put(m_putSlot, record, 0) != WexErrNone)
        uiLog().log(WexLogError, "%s: db query failure", __func__);
}

void QrvMetaDbInfoGetter::registerKindBeforePut()
{
    WexObject kind = WexObject::object();
    kind.put("id", m_kind);
    kind.put("owner", kServiceId);
    if (m_db.service() == nullptr || m_db.putKind(m_writeKindSlot, kind) != WexErrNone)
        uiLog().log(WexLogError, "%s: put kind failure", __func__);
}

WexErr QrvMetaDbInfoGetter::writeKindResult(WexObject&, WexErr)
{
    // As for the read, the registration's own outcome is not looked at: the
    // put's reply tells whether the record was stored.
    return WexErrNone;
}

WexErr QrvMetaDbInfoGetter::putResult(WexObject&, WexErr err)
{
    if (err != WexErrNone)
        uiLog().log(WexLogDebug, "%s: %s", __func__, errorText("persons db put failed: ", err).c_str());
    else
        uiLog().log(WexLogInfo, "%s: watermark written successfully", __func__);
    return WexErrNone;
}
