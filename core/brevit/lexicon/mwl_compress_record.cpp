#include "core/brevit/lexicon/mwl_compress_record.h"
#include "core/brevit/lexicon/mwl_code.h"
#include "core/brevit/lexicon/mwl_util.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// The cursor over one block: bytes past the block's end are refused, so a
// damaged stream never drives a read out of it.
struct Cursor {
    const MWLCompressStatic* s;
    int32_t position;
    int32_t end;
    const uint8_t* pending;
    int32_t pendingCount;
    bool failed;
};

int32_t next(Cursor* c, const uint8_t* classes, const uint16_t* offsets, const uint8_t* book)
{
    if (c->pendingCount > 0) {
        --c->pendingCount;
        return *c->pending++;
    }
    // A code whose string is empty stands for nothing: the next byte is read.
    for (;;) {
        if (c->position >= c->end) {
            c->failed = true;
            return -1;
        }
        const uint8_t b = c->s->stream[c->position++];
        if (classes[b] != 2)
            return b;
        const int32_t from = offsets[b];
        const int32_t count = offsets[b + 1] - from;
        if (count > 0) {
            c->pending = book + from + 1;
            c->pendingCount = count - 1;
            return book[from];
        }
    }
}

int32_t wordByte(Cursor* c) { return next(c, c->s->wordClasses, c->s->bookWOffsets, c->s->bookW); }
int32_t pronByte(Cursor* c) { return next(c, c->s->pronClasses, c->s->bookPOffsets, c->s->bookP); }

// A raw byte: not through the classes, with nothing pending.
int32_t rawByte(Cursor* c)
{
    if (c->pendingCount > 0 || c->position >= c->end) {
        c->failed = true;
        return -1;
    }
    return c->s->stream[c->position++];
}

uint32_t rawValue(Cursor* c, int32_t width)
{
    uint32_t v = 0;
    for (int32_t i = 0; i < width; ++i)
        v |= static_cast<uint32_t>(rawByte(c) & 0xFF) << (8 * i);
    return v;
}

// Bytes of 32 or above up to one below 32, which is given back.
int32_t readText(Cursor* c, std::vector<uint8_t>& out)
{
    for (;;) {
        const int32_t b = wordByte(c);
        if (b < 32)
            return b;
        out.push_back(static_cast<uint8_t>(b));
    }
}

bool decodeProns(Cursor* c, MWLCompressRecord* r)
{
    const MWLCompressStatic* s = c->s;
    const bool marker = s->marker != 0xFFFF;
    r->prons.clear();
    if (c->pendingCount > 0)
        return false;
    if (!(r->flags & kMWLCompressProns)) {
        r->stored = 1;
        if (marker)
            r->markerPosition = pronByte(c);
        MWLCompressPron p{{}, -1, s->posWidth == 0 ? 0 : 1};
        if (s->posWidth > 0) {
            p.synthesis = pronByte(c) != 0 ? 1 : 0;
            uint32_t v = 0;
            for (int32_t i = 0; i < s->posWidth; ++i)
                v |= static_cast<uint32_t>(pronByte(c) & 0xFF) << (8 * i);
            p.posId = static_cast<int32_t>(v + static_cast<uint32_t>(s->posBase));
        }
        r->prons.push_back(p);
        return !c->failed;
    }
    int32_t held = pronByte(c);
    if (held == 255) {
        r->stored = pronByte(c);
        if (marker)
            r->markerPosition = pronByte(c);
        held = -1;
    } else {
        r->stored = 1;
        if (marker) {
            r->markerPosition = held;
            held = -1;
        }
    }
    auto byte = [&]() {
        if (held >= 0) {
            const int32_t b = held;
            held = -1;
            return b;
        }
        return pronByte(c);
    };
    if (c->failed || r->stored < 0 || r->stored > s->maxProns)
        return false;
    for (int32_t k = 0; k < r->stored && !c->failed; ++k) {
        MWLCompressPron p{{}, -1, 1};
        if (s->posWidth > 0) {
            p.synthesis = byte() != 0 ? 1 : 0;
            uint32_t v = 0;
            for (int32_t i = 0; i < s->posWidth; ++i)
                v |= static_cast<uint32_t>(byte() & 0xFF) << (8 * i);
            p.posId = static_cast<int32_t>(v + static_cast<uint32_t>(s->posBase));
        }
        std::vector<uint16_t> stored;
        for (;;) {
            int32_t v = byte();
            if (s->phonemeWidth == 2)
                v |= byte() << 8;
            if (c->failed)
                return false;
            if (v < s->phonemeEnd) {
                stored.push_back(static_cast<uint16_t>(v));
                continue;
            }
            const size_t shared = static_cast<size_t>(v - s->phonemeEnd);
            const std::vector<uint16_t>* previous = k > 0 ? &r->prons.back().phonemes : nullptr;
            if (shared > (previous != nullptr ? previous->size() : 0))
                return false;
            if (shared > 0)
                p.phonemes.assign(previous->begin(), previous->begin() + static_cast<long>(shared));
            p.phonemes.insert(p.phonemes.end(), stored.begin(), stored.end());
            break;
        }
        r->prons.push_back(std::move(p));
    }
    return !c->failed && held < 0;
}

bool decode(Cursor* c, const std::vector<uint8_t>& previous, MWLCompressRecord* r)
{
    const MWLCompressStatic* s = c->s;
    r->key.clear();
    r->exact.clear();
    r->spoken.clear();
    r->markerPosition = kMWLNoMarker;
    std::vector<uint8_t> suffix;
    const int32_t shared = readText(c, suffix);
    if (c->failed || shared < 0 || static_cast<size_t>(shared) > previous.size())
        return false;
    r->shared = shared;
    r->key.assign(previous.begin(), previous.begin() + shared);
    r->key.insert(r->key.end(), suffix.begin(), suffix.end());
    r->code = kMWLCodeCaseless;
    if (s->nonCJK) {
        r->code = wordByte(c);
        if (r->code == kMWLCodeExact && readText(c, r->exact) < 0)
            return false;
    }
    r->flags = wordByte(c);
    if (c->failed)
        return false;
    if (r->flags & kMWLCompressSpoken) {
        for (int32_t b = wordByte(c); b != 0; b = wordByte(c)) {
            if (c->failed)
                return false;
            r->spoken.push_back(static_cast<uint8_t>(b));
        }
    }
    if (!decodeProns(c, r))
        return false;
    const int32_t widths[5] = {1, s->classWidth, 1, s->affixWidth, s->semanticWidth};
    const int32_t bits[5] = {kMWLCompressUnigram, kMWLCompressClass, kMWLCompressAttributes,
                             kMWLCompressAffix, kMWLCompressSemantic};
    for (int32_t i = 0; i < 5; ++i)
        r->raw[i] = (r->flags & bits[i]) ? rawValue(c, widths[i]) : 0;
    return !c->failed;
}

int32_t blockCount(const MWLCompressStatic* s) { return s->offsetCount > 0 ? s->offsetCount - 1 : 0; }

// Whether the first key of a block, read straight from the stream, is
// below the key: a shorter first key the key begins with is.
bool firstKeyBelow(const MWLCompressStatic* s, int32_t block, const uint8_t* key, int32_t keyLength)
{
    Cursor c{s, static_cast<int32_t>(s->blockOffsets[block]), static_cast<int32_t>(s->blockOffsets[block + 1]),
             nullptr, 0, false};
    for (int32_t i = 0;; ++i) {
        const int32_t b = wordByte(&c);
        if (b < 32)
            return i < keyLength;   // a shorter first key the key begins with is smaller
        if (i >= keyLength)
            return false;           // it begins with the key
        if (b != key[i])
            return b < key[i];
    }
}

} // namespace

void MWLCompress_StartWalk(const MWLCompressStatic* s, int32_t block, MWLCompressWalk* w)
{
    w->s = s;
    w->block = block;
    w->index = 0;
    w->position = block < blockCount(s) ? static_cast<int32_t>(s->blockOffsets[block]) : 0;
    w->previous.clear();
}

bool MWLCompress_Next(MWLCompressWalk* w, MWLCompressRecord* r, uint32_t* id)
{
    const MWLCompressStatic* s = w->s;
    const int32_t perBlock = 1 << s->blockShift;
    for (;;) {
        if (w->block >= blockCount(s))
            return false;
        const uint32_t at = (static_cast<uint32_t>(w->block) << s->blockShift) + static_cast<uint32_t>(w->index);
        if (w->index < perBlock && at < static_cast<uint32_t>(s->wordCount))
            break;
        // The next block's first key shares nothing.
        ++w->block;
        w->index = 0;
        w->previous.clear();
        if (w->block < blockCount(s))
            w->position = static_cast<int32_t>(s->blockOffsets[w->block]);
    }
    Cursor c{s, w->position, static_cast<int32_t>(s->blockOffsets[w->block + 1]), nullptr, 0, false};
    if (!decode(&c, w->index == 0 ? std::vector<uint8_t>{} : w->previous, r) || c.pendingCount > 0)
        return false;
    *id = (static_cast<uint32_t>(w->block) << s->blockShift) + static_cast<uint32_t>(w->index);
    w->position = c.position;
    w->previous = r->key;
    ++w->index;
    return true;
}

bool MWLCompress_LocateWord(const MWLCompressStatic* s, uint32_t id, MWLCompressRecord* r)
{
    if (id >= static_cast<uint32_t>(s->wordCount))
        return false;
    MWLCompressWalk w;
    MWLCompress_StartWalk(s, static_cast<int32_t>(id >> s->blockShift), &w);
    uint32_t at = 0;
    while (MWLCompress_Next(&w, r, &at))
        if (at == id)
            return true;
    return false;
}

int32_t MWLCompress_FindBlock(const MWLCompressStatic* s, const uint8_t* key, int32_t keyLength)
{
    int32_t low = 0, high = blockCount(s) - 1;
    while (high > low) {
        const int32_t mid = (low + high + 1) / 2;
        if (firstKeyBelow(s, mid, key, keyLength))
            low = mid;
        else
            high = mid - 1;
    }
    return low;
}

bool MWLCompress_CheckAndMeasure(MWLCompress* l)
{
    const MWLCompressStatic* s = l->s;
    MWLCompressWalk w;
    MWLCompress_StartWalk(s, 0, &w);
    MWLCompressRecord r;
    std::vector<uint8_t> last;
    uint32_t id = 0;
    int32_t count = 0;
    std::vector<uint16_t> scratch;
    while (count < s->wordCount) {
        const std::vector<uint8_t> previousKey = w.previous;
        if (!MWLCompress_Next(&w, &r, &id) || id != static_cast<uint32_t>(count))
            return false;
        // Every record of a block ends where the next one begins: the block's
        // last record ends at the next block's offset.
        if (r.shared > 0 && static_cast<size_t>(r.shared) > previousKey.size())
            return false;
        if (count > 0 && !(last < r.key) && last != r.key)
            return false;
        for (uint8_t b : r.key)
            if (b < 32)
                return false;
        if (s->nonCJK && r.code == 0)
            return false;
        if (r.code == kMWLCodeExact) {
            // The exact spelling folds to the key.
            std::vector<uint8_t> folded(r.exact.size() * 2 + 1, 0);
            std::vector<uint8_t> exact = r.exact;
            exact.push_back(0);
            MWLCode_ConvertToInternalE(folded.data(), exact.data(), 1,
                                       s->surfaceEncoding == 1 ? 2 : s->surfaceEncoding, &l->surfaceState, nullptr);
            if (std::strcmp(reinterpret_cast<const char*>(folded.data()),
                            std::string(r.key.begin(), r.key.end()).c_str()) != 0)
                return false;
        }
        if (w.index == (1 << s->blockShift) || id + 1 == static_cast<uint32_t>(s->wordCount)) {
            if (w.position != static_cast<int32_t>(s->blockOffsets[w.block + 1]))
                return false;
        }
        last = r.key;
        // Maxima measured the way the forms and prons are given back.
        const std::vector<uint8_t>& surfaceBytes = r.code == kMWLCodeExact ? r.exact : r.key;
        scratch.assign(surfaceBytes.size() + r.spoken.size() + 2, 0);
        const int32_t restore = (r.code == kMWLCodeExact || r.code == kMWLCodeCaseless) ? kMWLCodeNoUpper : r.code;
        MWLCode_RestoreSpelling(scratch.data(), surfaceBytes.data(), static_cast<int32_t>(surfaceBytes.size()),
                                restore, s->surfaceEncoding, &l->surfaceState);
        int32_t n = 0;
        while (scratch[static_cast<size_t>(n)] != 0)
            ++n;
        l->maxSurface = std::max(l->maxSurface, n);
        scratch.assign(r.spoken.size() + 2, 0);
        MWLCode_RestoreSpelling(scratch.data(), r.spoken.data(), static_cast<int32_t>(r.spoken.size()),
                                kMWLCodeNoUpper, s->spokenEncoding, &s->spokenState);
        n = 0;
        while (scratch[static_cast<size_t>(n)] != 0)
            ++n;
        l->maxSpoken = std::max(l->maxSpoken, n);
        if (r.flags & kMWLCompressProns) {
            const bool marked = s->marker != 0xFFFF && r.markerPosition != kMWLNoMarker;
            for (const MWLCompressPron& p : r.prons) {
                const int32_t length = static_cast<int32_t>(p.phonemes.size());
                l->maxMaster = std::max(l->maxMaster, length + (marked ? 1 : 0));
                l->maxRecog = std::max(l->maxRecog, length);
            }
        }
        ++count;
    }
    // Nothing but the N records lies in the stream.
    if (s->wordCount > 0 && w.position != static_cast<int32_t>(s->blockOffsets[s->offsetCount - 1]))
        return false;
    return true;
}
