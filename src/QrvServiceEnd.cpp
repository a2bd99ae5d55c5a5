#include "src/QrvServiceEnd.h"

#include "src/DownChirpAndExit.h"
#include "src/QrVoiceCmdServiceApp.h"

namespace {

// The default: the closing sequence with its chirp, and the ordered shut-down.
class ClosingSequence : public QrvServiceEnd {
public:
    void closingSequence() override { DownChirpAndExit::doDownChirpAndExit(); }
    void shutdownStart() override { QrVoiceCmdServiceApp::S_shutdownStart(); }
};

} // namespace

template <>
QrvServiceEnd& QrvSeam<QrvServiceEnd>::defaultImpl()
{
    static ClosingSequence impl;
    return impl;
}
