// Replies of the platform's services as the bring-up reads them: the
// preferences (locale and voice-command switch), the audio routing's status,
// and persons as the contacts database returns them. Whatever a peer sends
// is read or refused without harm.
#include "platform/core/wex_logger.h"
#include "src/AudiodServiceHandler.h"
#include "src/QrvAudioControls.h"
#include "src/QrvContactsCommon.h"
#include "src/QrvLangSettingGetter.h"
#include "src/QrvServiceEnd.h"

#include <cstdint>
#include <string_view>

namespace {

// The service never ends from here.
class Stay : public QrvServiceEnd {
public:
    void closingSequence() override {}
    void shutdownStart() override {}
};

class NoCapture : public QrvMediaCaptureControl {
public:
    void init() override {}
    void shutdownStart(Done done) override { done(); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Stay stay;
    static NoCapture capture;
    static const bool once = [] {
        WexLogger::configure("*=9");
        QrvServiceEnd::set(&stay);
        QrvMediaCaptureControl::set(&capture);
        return true;
    }();
    (void)once;

    WexObject reply;
    if (WexObject::parse(std::string_view(reinterpret_cast<const char*>(data), size), reply) != WexErrNone)
        return 0;

    auto getter = wexMakeRefCounted<QrvLangSettingGetter>(nullptr);
    getter->Result(reply, WexErrNone);
    QrvLangSettingGetter::getCurrentLanguageFileString();

    auto status = wexMakeRefCounted<AudiodServiceHandler>(AudiodServiceHandler::STATUS_SUBSCRIPTION);
    status->Result(reply, WexErrNone);
    status->Result(reply, WexErrNone);

    QrvContactsCommon::contactIsValid(reply);
    WexObject results;
    if (reply.get("results", results) == WexErrNone)
        for (size_t i = 0; i < results.size(); ++i) {
            WexObject person;
            if (results.at(i, person) == WexErrNone)
                QrvContactsCommon::contactIsValid(person);
        }
    return 0;
}
