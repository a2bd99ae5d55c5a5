#include "core/brevit/lexicon/pron_generator_script.h"

#include "core/brevit/lexicon/pron_generator_selector.h"
#include "core/brevit/lexicon/pron_generator_tables.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/runtime/dvk_unicode.h"
#include "core/brevit/runtime/dvk_unicode_str.h"

#include <cstring>

namespace {

void freeScriptSplit(PG* generator)
{
    auto* s = reinterpret_cast<PGScriptSplit*>(generator);
    PG_FreeSubGenerators(s->subs, s->count);
    DVKMem_Free(s->scripts);
    PG_FreeCommon(&s->base.common);
}

bool readScripts(BinFileReader* reader, PGScriptSplit* s, int32_t count)
{
    if (count < 0 || count > kPGMaxSubGenerators)
        return false;
    if (count > 0) {
        s->scripts = static_cast<int32_t*>(DVKMem_Calloc(static_cast<uint32_t>(count) * 4));
        if (s->scripts == nullptr)
            return false;
    }
    for (int32_t i = 0; i < count; ++i)
        if (!BinFileReader_ReadInt(reader, &s->scripts[i]))
            return false;
    return true;
}

// The sub-generator serving script: the first code equal to it, or -1.
int32_t serving(const PGScriptSplit* s, uint32_t script)
{
    for (int32_t i = 0; i < s->count; ++i)
        if (s->scripts[i] == static_cast<int32_t>(script))
            return i;
    return -1;
}

int32_t pronLength(const uint16_t* pron)
{
    int32_t n = 0;
    while (pron[n] != kPGPronEnd)
        ++n;
    return n;
}

// The joined pron as the runs come: each run's pron continues it, from its
// closing 0xFFFF. Once a run does not fit, the rest are only measured.
struct Join {
    uint16_t* output;
    int32_t room;
    int32_t wordClass;
    int32_t end = 0;            // where the joined pron's 0xFFFF stands
    int64_t measured = -1;      // the length needed so far, once measuring
    int64_t score = 0;

    void run(const PG* sub, const uint16_t* text)
    {
        int32_t need = 0;
        int32_t runScore = 0;
        if (measured < 0) {
            if (PG_TextToMasterPron(sub, text, wordClass, output + end, room - end, &runScore, 1,
                                    &need) > 0) {
                end += pronLength(output + end);
                score += runScore;
            } else if (need > 0) {
                measured = end + int64_t{need} - 1;
            }
            return;
        }
        if (PG_TextToMasterPron(sub, text, wordClass, output, room, &runScore, 1, &need) > 0)
            measured += pronLength(output);
        else if (need > 0)
            measured += need - 1;
    }
};

} // namespace

int32_t PG_TextToMasterPron_SBC(const PG* generator, const uint16_t* text, int32_t wordClass,
                                uint16_t* output, int32_t room, int32_t* scores, int32_t most,
                                int32_t* needed)
{
    const auto* s = reinterpret_cast<const PGScriptSplit*>(generator);
    output[0] = kPGPronEnd;
    if (needed != nullptr)
        *needed = 0;
    if (most < 1)
        return 0;
    Join join{output, room, wordClass >= 0 && wordClass <= 2 ? wordClass : 0};
    const uint32_t mark = DVKTempMem_GetMark();
    const int32_t length = DVKUnicode_Length(text);
    auto* run = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(length + 1) * 2));
    int32_t runSub = -1;
    int32_t runStart = 0;
    uint32_t script = kDVKScriptNone;
    for (int32_t i = 0; i <= length; ++i) {
        int32_t sub = -1;
        if (i < length) {
            script = DVKUnicode_GetScript(text[i], script);
            sub = serving(s, script);
        }
        if (sub == runSub)
            continue;
        if (runSub >= 0) {
            std::memcpy(run, text + runStart, static_cast<size_t>(i - runStart) * 2);
            run[i - runStart] = 0;
            join.run(s->subs[runSub], run);
        }
        runSub = sub;
        runStart = i;
    }
    DVKTempMem_ReleaseToMark(mark);
    if (join.measured >= 0) {
        output[0] = kPGPronEnd;
        if (needed != nullptr)
            *needed = join.measured + 1 > INT32_MAX ? INT32_MAX : static_cast<int32_t>(join.measured + 1);
        return 0;
    }
    if (join.end == 0)
        return 0;
    if (scores != nullptr)
        scores[0] = join.score > INT32_MAX ? INT32_MAX : static_cast<int32_t>(join.score);
    return 1;
}

uint32_t PG_ComputeCRC_SBC(const PG* generator)
{
    const auto* s = reinterpret_cast<const PGScriptSplit*>(generator);
    uint32_t crc = PG_ComputeCommonCRC(&s->base.common);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(s->count), crc);
    crc = DVKCrc_AddValue(DVKCrc_AddArray(s->scripts, 4, s->count, 0xFFFFFFFFu), 4, crc);
    return PG_AddSubGeneratorCRCs(crc, s->subs, s->count);
}

PG* PGScriptSplit_Load(BinFileReader* reader, int32_t depth)
{
    return PG_LoadKind<PGScriptSplit>(
        reader, freeScriptSplit, PG_TextToMasterPron_SBC, PG_ComputeCRC_SBC,
        [depth](BinFileReader* r, PGScriptSplit* s) {
            int32_t count = 0;
            const bool ok = BinFileReader_ReadInt(r, &count) && readScripts(r, s, count) &&
                            PG_LoadSubGenerators(r, count, depth + 1, &s->subs);
            s->count = s->subs != nullptr ? count : 0;
            return ok;
        });
}
