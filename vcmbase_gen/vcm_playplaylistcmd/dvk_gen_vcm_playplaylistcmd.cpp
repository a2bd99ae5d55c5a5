// "vcm_playPlaylistCmd": plays the playlist named, or offers every playlist
// to choose from (no music stored when there is none).
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_play.h"

namespace {

const char kUnit[] = "vcmbase_gen/vcm_playplaylistcmd/dvk_gen_vcm_playplaylistcmd";

enum : int32_t { PLAYLIST_SLOT = 23, PLAYLIST_KIND = 0 };

const void* findPlaylist(const dvk_ucs2_Char* name)
{
    return dvk_play_findPlaylistByName(name);
}
const void* firstPlaylist()
{
    return dvk_play_getFirstPlaylist();
}
const void* nextPlaylist(const void* item)
{
    return dvk_play_getNextPlaylist(static_cast<dvk_play_PlaylistIterator>(const_cast<void*>(item)));
}
dvk_ucs2_Char* playlistName(const void* item)
{
    dvk_play_PlaylistEntry* entry =
        dvk_play_getPlaylistEntry(static_cast<dvk_play_PlaylistIterator>(const_cast<void*>(item)));
    dvk_ucs2_Char* name = entry != nullptr ? dvk_ucs2_createCopy(dvk_play_getPlaylistName(entry)) : nullptr;
    dvk_play_destroyPlaylistEntry(&entry);
    return name;
}

// The playlist found by the name said plays under that name.
int playPlaylist(dvk_vcm_Session* vcms, const void* item, const dvk_ucs2_Char* said, int32_t asked)
{
    dvk_play_PlaylistEntry* entry =
        dvk_play_getPlaylistEntry(static_cast<dvk_play_PlaylistIterator>(const_cast<void*>(item)));
    if (entry == nullptr)
        return 1;
    const dvk_ucs2_Char* pronunciation = dvk_play_getPlaylistPronunciation(entry);
    const int result = dvk_vcm_push(
        vcms, dvk_gen_vcm_newPlayComplete(vcms, asked, said,
                                          pronunciation != nullptr && pronunciation[0] != 0 ? pronunciation : said,
                                          nullptr, nullptr, dvk_play_getPlaylistContext(entry), 0, PLAYLIST_KIND));
    dvk_play_destroyPlaylistEntry(&entry);
    return result;
}

const dvk_gen_vcm_ListCommand kPlaylists = {
    findPlaylist, firstPlaylist, nextPlaylist, playlistName, playPlaylist, dvk_gen_vcm_newNoMusicStored,
    70,           611,           442,          &playlist_constraint,
};

int playPlaylistCmdCompletion(dvk_vcm_Session* vcms, dvk_nbest_List* nbest, int32_t, dvk_msg_Message**)
{
    return dvk_gen_vcm_listCompletion(vcms, &kPlaylists, PLAYLIST_SLOT, nbest);
}

const dvk_gen_vcm_Descriptor playPlaylistCmd = {
    {"vcm_playPlaylistCmd", nullptr, nullptr, nullptr, nullptr, nullptr, dvk_gen_vcm_completeResult,
     playPlaylistCmdCompletion, dvk_gen_vcm_copyWord, dvk_vcm_defaultContextDestructor},
    kUnit,
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Vtable& playPlaylistCmdVtable = playPlaylistCmd.vtable;

const dvk_vcm_Etable playPlaylistCmdEtable[] = {
    {DVK_UI_EVENT_NONE, nullptr},
};

}  // namespace

dvk_vcm_Module* dvk_gen_vcm_newPlayPlaylistCmd(dvk_vcm_Session* vcms)
{
    DVK_GEN_VCM_ASSERT(kUnit, vcms != DVK_NULL);
    return dvk_gen_vcm_newListCommand(vcms, &playPlaylistCmdVtable, playPlaylistCmdEtable);
}
