// An application's list and recognition results of any shape, through the
// speech API's list walk and its result records: the walk visits item 0 and
// then exactly the items the recogniser can take, spoken forms lie inside
// their texts, records never take more than they hold nor texts past 255
// units, and no suite block is left behind.
#include "core/dkapi/dvk_dkapi.h"
#include "core/dkapi/dvk_dkapi_engine.h"
#include "core/nbest/dvk_nbest.h"
#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_mem.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
        parts.push_back(text.substr(start, at - start));
    parts.push_back(text.substr(start));
    return parts;
}

dvk_ucs2_Char* ucs2(const std::string& text)
{
    return dvk_ucs2_cvtFromLatin1(text.c_str());
}

struct Record {
    explicit Record(int32_t capacity) : texts(static_cast<size_t>(capacity > 0 ? capacity : 1))
    {
        record.count = capacity;
        record.texts = texts.data();
    }
    void check(int32_t capacity) const
    {
        ::check(record.count >= 0 && record.count <= capacity);
        for (int32_t i = 0; i < record.count; ++i) {
            int32_t n = 0;
            while (n < 256 && record.texts[i][n] != 0)
                ++n;
            ::check(n <= 255);
        }
    }
    std::vector<dvk_ucs2_Char[256]> texts;
    DKAPI_Result record{-1, 0, nullptr};
};

void walk(const dvk_dkapi_List& list)
{
    dvk_dkapi_setPhraseList(&list);
    int32_t expected = 0;
    for (int32_t it = dvk_dkapi_pfl_getFirst(); it != 0; it = dvk_dkapi_pfl_getNext(it)) {
        check(~it == expected);
        const dvk_ucs2_Char* text = nullptr;
        const dvk_ucs2_Char* spoken = nullptr;
        dvk_dkapi_pfl_getEntry(it, &text, &spoken);
        const dvk_dkapi_ListItem& item = list.items[~it];
        check((text != nullptr) == (item.recognisable != 0));
        if (text != nullptr)
            check(spoken >= text && spoken <= text + dvk_ucs2_strlen(text));
        do
            ++expected;
        while (expected < list.count && !list.items[expected].recognisable);
    }
    check(list.count == 0 || expected >= list.count);
    dvk_dkapi_setPhraseList(nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const long before = dvk_mem_liveBlocks();
    const std::vector<std::string> records = split(std::string(reinterpret_cast<const char*>(data), size), '\0');
    const std::vector<std::string> lines = split(records[0], '\n');
    const int32_t capacity = records[0].empty() ? 0 : static_cast<uint8_t>(records[0][0]) % 8;

    std::vector<dvk_dkapi_ListItem> items;
    for (size_t i = 0; i < lines.size() && i < 100; ++i) {
        const bool refused = !lines[i].empty() && lines[i][0] == '!';
        items.push_back({ucs2(lines[i].substr(refused ? 1 : 0)), refused ? 0 : 1});
        check(items.back().text != nullptr);
    }
    dvk_dkapi_List list{items.data(), static_cast<int32_t>(items.size()), nullptr};
    walk(list);

    dvk_nbest_List* nbest = records.size() > 1 ? dvk_nbest_create(1, "fuzz", static_cast<int32_t>(size % 101)) : nullptr;
    for (size_t r = 1; r < records.size(); ++r) {
        const int32_t entry = dvk_nbest_addEntry(nbest);
        check(entry >= 0);
        int32_t slot = 0;
        for (const std::string& line : split(records[r], '\n')) {
            const size_t equals = line.find('=');
            dvk_ucs2_Char* text = ucs2(equals == std::string::npos ? line : line.substr(equals + 1));
            if (equals == std::string::npos)
                check(dvk_nbest_addUtt(nbest, entry, text) == 0);
            else
                dvk_nbest_addValueNoIds(nbest, entry, slot++ % 64, line.substr(0, equals).c_str(), text, nullptr);
            dvk_ucs2_destroy(&text);
        }
    }
    Record result(capacity);
    dvk_dkapi_fillResult(&result.record, nbest, &list);
    result.check(capacity);
    Record song(capacity), artist(capacity), album(capacity), playlist(capacity);
    DKAPI_Result* const music[4] = {&song.record, &artist.record, &album.record, &playlist.record};
    dvk_dkapi_fillMusicResults(music, nbest);
    for (const Record* r : {&song, &artist, &album, &playlist}) {
        r->check(capacity);
        for (int32_t i = 0; i < r->record.count; ++i)
            check(r->record.texts[i][0] != 0);
    }

    dvk_nbest_destroy(&nbest);
    for (dvk_dkapi_ListItem& item : items)
        dvk_ucs2_destroy(&item.text);
    check(dvk_mem_liveBlocks() == before);
    return 0;
}
