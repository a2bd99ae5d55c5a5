#include "vcmbase_gen/vcm_playmusiccmd/dvk_gen_vcm_playresults.h"

#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_mem.h"

namespace {

dvk_play_SongIterator songIterator(uint32_t id)
{
    dvk_play_SongIterator it = id > 0 ? dvk_play_getFirstSong() : nullptr;
    for (uint32_t place = 1; it != nullptr && place < id; place++)
        it = dvk_play_getNextSong(it);
    return it;
}

dvk_play_PlaylistIterator playlistIterator(uint32_t id)
{
    dvk_play_PlaylistIterator it = id > 0 ? dvk_play_getFirstPlaylist() : nullptr;
    for (uint32_t place = 1; it != nullptr && place < id; place++)
        it = dvk_play_getNextPlaylist(it);
    return it;
}

bool sameIds(const dvk_gen_vcm_PlayResult* a, const dvk_gen_vcm_PlayResult* b)
{
    return a->kind == b->kind && a->playlistId == b->playlistId && a->songId == b->songId;
}

// The text two records of one kind are merged on: album name or title.
const dvk_ucs2_Char* mergedOn(int32_t kind, const dvk_play_SongEntry* song)
{
    return kind == DVK_GEN_PLAY_ALBUM ? dvk_play_getSongAlbum(song) : dvk_play_getSongTitle(song);
}

enum Merge { MERGE_NONE, MERGE_DROPPED, MERGE_FAILED };

// Whether the song already has a record of its album name or title (then
// it becomes one of that record's alternates when its artist is new there).
Merge mergeInto(dvk_array* list, const dvk_gen_vcm_PlayResult* added)
{
    if (added->kind != DVK_GEN_PLAY_ALBUM && added->kind != DVK_GEN_PLAY_SONG)
        return MERGE_NONE;
    dvk_play_SongEntry* song = dvk_gen_vcm_songOf(added->songId);
    if (song == nullptr)
        return MERGE_FAILED;
    Merge merge = MERGE_NONE;
    for (long i = 0; merge == MERGE_NONE && i < dvk_array_getCount(list); i++) {
        auto* record = static_cast<dvk_gen_vcm_PlayResult*>(dvk_array_getItem(list, i));
        if (record->kind != added->kind)
            continue;
        dvk_play_SongEntry* other = dvk_gen_vcm_songOf(record->songId);
        if (other == nullptr) {
            merge = MERGE_FAILED;
            break;
        }
        if (dvk_ucs2_strcmp(mergedOn(added->kind, song), mergedOn(added->kind, other)) == 0) {
            merge = MERGE_DROPPED;
            bool newArtist = dvk_ucs2_strcmp(dvk_play_getSongArtist(song), dvk_play_getSongArtist(other)) != 0;
            for (int32_t a = 0; newArtist && a < record->alternateCount; a++) {
                dvk_play_SongEntry* alternate = dvk_gen_vcm_songOf(record->alternates[a]);
                if (alternate == nullptr)
                    merge = MERGE_FAILED;
                else
                    newArtist = dvk_ucs2_strcmp(dvk_play_getSongArtist(song), dvk_play_getSongArtist(alternate)) != 0;
                dvk_play_destroySongEntry(&alternate);
            }
            if (merge == MERGE_DROPPED && newArtist && record->alternateCount < DVK_GEN_PLAY_MAX_ALTERNATES)
                record->alternates[record->alternateCount++] = added->songId;
        }
        dvk_play_destroySongEntry(&other);
    }
    dvk_play_destroySongEntry(&song);
    return merge;
}

bool addRecord(dvk_array* list, const dvk_gen_vcm_PlayResult& record)
{
    auto* copy = static_cast<dvk_gen_vcm_PlayResult*>(dvk_mem_alloc(sizeof(dvk_gen_vcm_PlayResult)));
    if (copy == nullptr)
        return false;
    *copy = record;
    if (dvk_array_addItem(list, copy) == nullptr) {
        dvk_mem_dealloc(&copy);
        return false;
    }
    return true;
}

}  // namespace

dvk_play_SongEntry* dvk_gen_vcm_songOf(uint32_t id)
{
    dvk_play_SongIterator it = songIterator(id);
    return it != nullptr ? dvk_play_getSongEntry(it) : nullptr;
}

dvk_play_PlaylistEntry* dvk_gen_vcm_playlistOf(uint32_t id)
{
    dvk_play_PlaylistIterator it = playlistIterator(id);
    return it != nullptr ? dvk_play_getPlaylistEntry(it) : nullptr;
}

void destroyPlayResultList(dvk_array** list)
{
    if (*list == nullptr)
        return;
    for (long i = 0; i < dvk_array_getCount(*list); i++) {
        auto* record = static_cast<dvk_gen_vcm_PlayResult*>(dvk_array_getItem(*list, i));
        dvk_mem_dealloc(&record);
    }
    dvk_array_destroy(list);
}

const dvk_gen_vcm_PlayResult* dvk_gen_vcm_playResultAt(dvk_array* list, long i)
{
    return static_cast<const dvk_gen_vcm_PlayResult*>(dvk_array_getItem(list, i));
}

dvk_array* addResults(dvk_array* list, int32_t count, int32_t kind, const uint32_t* playlistIds,
                      const uint32_t* songIds)
{
    if (list == nullptr)
        list = dvk_array_create();
    if (list == nullptr)
        return nullptr;
    int32_t added = 0;
    for (int32_t i = 0; i < count && added < 2 && dvk_array_getCount(list) < DVK_GEN_PLAY_MAX_RESULTS; i++) {
        dvk_gen_vcm_PlayResult record = {kind, 0, 0, {0, 0, 0}, 0};
        if (kind == DVK_GEN_PLAY_PLAYLIST)
            record.playlistId = playlistIds != nullptr ? playlistIds[i] : 0;
        else
            record.songId = songIds != nullptr ? songIds[i] : 0;
        bool known = false;
        for (long r = 0; !known && r < dvk_array_getCount(list); r++)
            known = sameIds(dvk_gen_vcm_playResultAt(list, r), &record);
        if (known)
            continue;
        const Merge merge = mergeInto(list, &record);
        if (merge == MERGE_FAILED || (merge == MERGE_NONE && !addRecord(list, record))) {
            destroyPlayResultList(&list);
            return nullptr;
        }
        if (merge == MERGE_NONE)
            added++;
    }
    return list;
}

dvk_array* createAlternateArtistResultList(const dvk_gen_vcm_PlayResult* record)
{
    dvk_array* list = dvk_array_create();
    for (int32_t i = -1; list != nullptr && i < record->alternateCount; i++) {
        const dvk_gen_vcm_PlayResult one = {record->kind, 0, i < 0 ? record->songId : record->alternates[i],
                                            {0, 0, 0}, 0};
        if (!addRecord(list, one))
            destroyPlayResultList(&list);
    }
    return list;
}

dvk_array* dvk_gen_vcm_copyPlayResultList(dvk_array* list)
{
    dvk_array* copy = dvk_array_create();
    for (long i = 0; copy != nullptr && i < dvk_array_getCount(list); i++)
        if (!addRecord(copy, *dvk_gen_vcm_playResultAt(list, i)))
            destroyPlayResultList(&copy);
    return copy;
}

int removeInvalidSongs(uint32_t* ids, int32_t* count, const dvk_ucs2_Char* (*field)(const dvk_play_SongEntry*))
{
    int32_t kept = 0;
    for (int32_t i = 0; i < *count; i++) {
        dvk_play_SongEntry* song = dvk_gen_vcm_songOf(ids[i]);
        if (song == nullptr)
            return 1;
        if (field(song)[0] != 0)
            ids[kept++] = ids[i];
        dvk_play_destroySongEntry(&song);
    }
    *count = kept;
    return 0;
}

int removeInvalidPlaylists(uint32_t* ids, int32_t* count)
{
    int32_t kept = 0;
    for (int32_t i = 0; i < *count; i++) {
        dvk_play_PlaylistEntry* playlist = dvk_gen_vcm_playlistOf(ids[i]);
        if (playlist == nullptr)
            return 1;
        if (dvk_play_getPlaylistName(playlist)[0] != 0)
            ids[kept++] = ids[i];
        dvk_play_destroyPlaylistEntry(&playlist);
    }
    *count = kept;
    return 0;
}
