#include "src/QrvServiceEnd.h"

#include "src/DownChirpAndExit.h"
#include "src/QrVoiceCmdServiceApp.h"

#include <atomic>

namespace {

std::atomic<QrvServiceEnd*> s_installed{nullptr};

// The default: the closing sequence with its chirp, and the ordered shut-down.
class ClosingSequence : public QrvServiceEnd {
public:
    void closingSequence() override { DownChirpAndExit::doDownChirpAndExit(); }
    void shutdownStart() override { QrVoiceCmdServiceApp::S_shutdownStart(); }
};

ClosingSequence s_default;

} // namespace

QrvServiceEnd& QrvServiceEnd::get()
{
    QrvServiceEnd* installed = s_installed.load();
    return installed != nullptr ? *installed : s_default;
}

void QrvServiceEnd::set(QrvServiceEnd* end)
{
    s_installed.store(end);
}
