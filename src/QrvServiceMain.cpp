#include "src/QrvServiceMain.h"

#include "platform/core/wex_root.h"
#include "src/QrVoiceCmdServiceApp.h"
#include "src/QrvFileSystem.h"
#include "src/QrvLog.h"

#include <sys/stat.h>

int QrvServiceMain(int argc, char** argv)
{
    WexLogger& log = QrvLog::UIthread::qrvLog;
    log.log(WexLogDebug, "starting %s", "main");

    struct stat st {};
    if (stat(wexRootPath(QRV_FIRST_USE_MARKER).c_str(), &st) != 0) {
        log.log(WexLogWarning, "%s exiting.  Reason: First use not complete.", "main");
        return 0;
    }

    QrvFileSystem::qrvFileSystemInit();

    int status;
    {
        QrVoiceCmdServiceApp app;
        status = app.main(argc, argv);
        log.log(WexLogDebug, "exiting %s", "main");
    }
    return status;
}
