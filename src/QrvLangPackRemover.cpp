#include "src/QrvLangPackRemover.h"

#include "platform/core/wex_root.h"
#include "src/QrvFileSystem.h"
#include "src/QrvLangPack.h"
#include "src/QrvLangPackSpawn.h"
#include "src/QrvLog.h"
#include "src/workqueue.h"

#include <dirent.h>

#include <cstring>

namespace {

WexLogger& uiLog()
{
    return QrvLog::UIthread::qrvLog;
}

} // namespace

class QrvLangPackRemoverPimpl : public std::enable_shared_from_this<QrvLangPackRemoverPimpl> {
public:
    explicit QrvLangPackRemoverPimpl(QrvLangPackRemoverInvoker* invoker) : m_invoker(invoker) {}
    ~QrvLangPackRemoverPimpl()
    {
        dropStep();
        if (m_dir != nullptr)
            closedir(m_dir);
    }

    void start()
    {
        const std::string dir = wexRootPath(QrvFileSystem::QRV_LANGPACK_DIR);
        m_dir = opendir(dir.c_str());
        if (m_dir == nullptr) {
            uiLog().log(WexLogDebug, "%s: cannot open %s", __func__, dir.c_str());
            report(13);
            return;
        }
        schedule();
    }

private:
    static gboolean stepStatic(gpointer data)
    {
        auto* self = static_cast<QrvLangPackRemoverPimpl*>(data);
        self->m_step = 0;
        self->step();
        return FALSE;
    }

    void schedule() { m_step = workqueue_add(workqueue_self(), stepStatic, this, 0); }

    void dropStep()
    {
        if (m_step == 0)
            return;
        workqueue* self = workqueue_self();
        GSource* source =
            g_main_context_find_source_by_id(self != nullptr ? workqueue_getContext(self) : nullptr, m_step);
        if (source != nullptr)
            g_source_destroy(source);
        m_step = 0;
    }

    void step()
    {
        if (m_dir == nullptr) {
            uiLog().log(WexLogError, "Directory not open.  Stopping LangPackRemover.");
            report(WexErrNone);
            return;
        }
        const dirent* entry = readdir(m_dir);
        if (entry == nullptr) {
            closedir(m_dir);
            m_dir = nullptr;
            report(WexErrNone);
            return;
        }
        std::string language;
        if (!QrvLangPackRemover::packLanguage(entry->d_name, language)) {
            schedule();
            return;
        }
        uiLog().log(WexLogDebug, "attempting to remove language %s", language.c_str());
        std::weak_ptr<QrvLangPackRemoverPimpl> weak = weak_from_this();
        std::string error;
        if (!qrvSpawnIpkg("remove", std::string(QrvLangPack::langPackNamePrefix) + language,
                          [weak] {
                              if (auto self = weak.lock())
                                  self->report(WexErrNone);
                          },
                          error))
            uiLog().log(WexLogError, "Failed to spawn upload process %s", error.c_str());
    }

    // The invoker may release the remover from inside removerDone.
    void report(WexErr err) { m_invoker->removerDone(err); }

    QrvLangPackRemoverInvoker* m_invoker;
    DIR* m_dir = nullptr;
    guint m_step = 0;
};

QrvLangPackRemover::QrvLangPackRemover(QrvLangPackRemoverInvoker* invoker)
    : m_pimpl(std::make_shared<QrvLangPackRemoverPimpl>(invoker))
{
    m_pimpl->start();
}

QrvLangPackRemover::~QrvLangPackRemover() = default;

bool QrvLangPackRemover::packLanguage(const char* name, std::string& language)
{
    for (const char* prefix : QrvLangPack::filenamePrefixes) {
        const size_t length = std::strlen(prefix);
        if (std::strncmp(name, prefix, length) != 0)
            continue;
        const char* bin = std::strstr(name, ".bin");
        if (bin != name + length + 4)
            return false;
        language.assign(name + length, 4);
        return true;
    }
    return false;
}

void glibCallsThisRightBeforeExec(void*) {}
