#include "src/QrvSettings.h"

#include "src/QrvLog.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace {

std::atomic<bool> s_backgroundProcessing{true};
std::atomic<int> s_audioSourceType{QrvSettings::AUDIO_SOURCE_NONE};
std::atomic<bool> s_audioSourceTypeSet{false};
std::atomic<bool> s_boardTypeSet{false};
std::atomic<bool> s_dialingOut{false};

// Written on "UI" before the suite starts; see the header.
WexString s_boardType;
QrvSettings::OutgoingCall s_lastOutgoingCall;

} // namespace

void QrvSettings::setBackgroundProcessingFlag(bool flag)
{
    s_backgroundProcessing = flag;
    errno = 0;
    if (nice(-2) == -1 && errno != 0)
        QrvLog::UIthread::qrvLog.log(WexLogWarning, "%s: Unable to decrease nice value", __func__);
}

bool QrvSettings::getBackgroundProcessingFlag()
{
    return s_backgroundProcessing;
}

void QrvSettings::setAudioSourceType(AudioSourceType type)
{
    s_audioSourceType = type;
    s_audioSourceTypeSet = true;
}

QrvSettings::AudioSourceType QrvSettings::getAudioSourceType()
{
    if (!s_audioSourceTypeSet)
        QrvLog::UIthread::qrvLog.log(WexLogError, "Audio source checked before it was set");
    return static_cast<AudioSourceType>(s_audioSourceType.load());
}

void QrvSettings::setBoardType(const char* boardType)
{
    s_boardType = WexString(boardType);
    s_boardTypeSet = true;
}

const WexString& QrvSettings::getBoardType()
{
    if (!s_boardTypeSet)
        QrvLog::UIthread::qrvLog.log(WexLogError, "attempt to get board type before setting it");
    return s_boardType;
}

void QrvSettings::setLastOutgoingCall(const OutgoingCall& call)
{
    s_lastOutgoingCall = call;
}

const QrvSettings::OutgoingCall& QrvSettings::getLastOutgoingCall()
{
    return s_lastOutgoingCall;
}

void QrvSettings::setDialingOutFlag()
{
    s_dialingOut = true;
}

bool QrvSettings::getDialingOutFlag()
{
    return s_dialingOut;
}
