#include "tests/vcmbase_gen/harness/recording_answers.h"

#include "tests/vcmbase_gen/harness/recording_screens.h"

#include <string>

namespace {

std::string quoted(const dvk_ucs2_Char* text)
{
    std::string out = "'";
    for (const dvk_ucs2_Char* c = text; c != nullptr && *c != 0; c++)
        out += *c < 0x80 ? static_cast<char>(*c) : '?';
    return out + "'";
}

void lookup(const dvk_ucs2_Char* name, dvk_app_LookupMode mode, void*)
{
    recordedScreens().push_back("lookup " + quoted(name) + " " + std::to_string(mode));
}

void play(const dvk_ucs2_Char* song, const dvk_ucs2_Char* artist, const dvk_ucs2_Char* album,
          const dvk_ucs2_Char* playlist, int32_t c1, int32_t c2, int32_t c3, int32_t c4, void*)
{
    recordedScreens().push_back("play " + quoted(song) + " " + quoted(artist) + " " + quoted(album) + " " +
                                quoted(playlist) + " " + std::to_string(c1) + " " + std::to_string(c2) + " " +
                                std::to_string(c3) + " " + std::to_string(c4));
}

void call(const dvk_ucs2_Char* name, const dvk_ucs2_Char* location, const dvk_ucs2_Char* number, void*)
{
    recordedScreens().push_back("call " + quoted(name) + " " + quoted(location) + " " + quoted(number));
}

void send(const dvk_ucs2_Char* name, const dvk_ucs2_Char* location, const dvk_ucs2_Char* number,
          const dvk_ucs2_Char* group, dvk_app_MessageType type, void*)
{
    recordedScreens().push_back("send " + quoted(name) + " " + quoted(location) + " " + quoted(number) + " " +
                                quoted(group) + " " + std::to_string(type));
}

void goTo(const dvk_ucs2_Char* name, int32_t context, void*)
{
    recordedScreens().push_back("goto " + quoted(name) + " " + std::to_string(context));
}

void help(const dvk_ucs2_Char* topic, int32_t word, void*)
{
    recordedScreens().push_back("help " + quoted(topic) + " " + std::to_string(word));
}

void check(dvk_app_CheckItem item, void*)
{
    recordedScreens().push_back("check " + std::to_string(item));
}

}  // namespace

void recordAnswers(dvk_app_Notifications* notifications)
{
    notifications->notifyLookupCmd = lookup;
    notifications->notifyPlayCmd = play;
    notifications->notifyCallCmd = call;
    notifications->notifySendCmd = send;
    notifications->notifyGoToCmd = goTo;
    notifications->notifyHelpCmd = help;
    notifications->notifyCheckCmd = check;
}
