// The bring-up's outside steps until their parts are in the service: each
// logs that it was reached and answers nothing, so the bring-up waits there
// and the watchdog ends the service. The pack check, which must answer,
// finds no pack.
#include "src/QrvBringupSteps.h"
#include "src/QrvLog.h"

namespace {

WexLogger& uiLog()
{
    return QrvLog::UIthread::qrvLog;
}

void notThere(const char* step)
{
    uiLog().log(WexLogWarning, "%s: not available; the bring-up waits here", step);
}

// Without the pack check no pack counts as installed: the service ends.
class NoLanguagePack : public QrvLanguagePackStep {
public:
    bool languagePacksInstalled() override
    {
        uiLog().log(WexLogWarning, "%s: not available", __func__);
        return false;
    }
};

class NoSuite : public QrvSuiteStep {
public:
    int create(CreateNotify, void*) override
    {
        notThere(__func__);
        return 0;
    }
    int startCmdRecog() override
    {
        notThere(__func__);
        return 0;
    }
};

} // namespace

template <>
QrvLanguagePackStep& QrvSeam<QrvLanguagePackStep>::defaultImpl()
{
    static NoLanguagePack impl;
    return impl;
}

template <>
QrvSuiteStep& QrvSeam<QrvSuiteStep>::defaultImpl()
{
    static NoSuite impl;
    return impl;
}
