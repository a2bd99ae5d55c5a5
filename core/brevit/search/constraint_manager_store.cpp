// Sub-file "bcm0": the constraint manager's header words, each stored
// constraint (whole vocabulary and class pair; transcriptions are never
// stored) and the reference words.
#include "core/brevit/search/constraint_manager.h"

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/constraint.h"

namespace {

struct Header {
    uint32_t capacity;
    uint32_t pages;
    int32_t count;
    int32_t highest;
    uint32_t referenceCapacity;
    uint32_t referencePages;
};

bool stored(const Constraint* con)
{
    return con != nullptr &&
           (con->type == kConstraintTypeWholeVocabulary || con->type == kConstraintTypeClassPair);
}

// A header that a writer of this manager could have made; anything else would
// size tables from garbage or index past them.
bool readHeader(BinFileReader* reader, Header* h)
{
    uint32_t w[6];
    for (uint32_t& word : w)
        if (BinFileReader_ReadUnsignedInt(reader, &word) == 0)
            return false;
    h->capacity = w[0];
    h->pages = w[1];
    h->count = static_cast<int32_t>(w[2]);
    h->highest = static_cast<int32_t>(w[3]);
    h->referenceCapacity = w[4];
    h->referencePages = w[5];
    const int64_t entries = int64_t{h->pages} * kConstraintManagerPageSize;
    // Each index needs its stored flag and each page its reference words:
    // a header promising more than the sub-file holds sizes nothing.
    const int64_t left = int64_t{reader->sub->size} - reader->sub->position;
    return int64_t{h->highest} + 1 <= left / 4 && entries * 4 <= left &&
           h->capacity <= kConstraintManagerMaxPages && h->referenceCapacity <= kConstraintManagerMaxPages &&
           h->pages <= h->capacity && h->referencePages == h->pages &&
           h->referencePages <= h->referenceCapacity && h->highest >= -1 && h->highest < entries &&
           h->count >= 0 && h->count <= h->highest + 1;
}

// What is read, kept apart from the manager until all of it was read.
struct Tables {
    void** pages = nullptr;
    uint32_t pageCount = 0;
    void** references = nullptr;
    uint32_t referencePages = 0;
};

void freeTables(Tables& t, int32_t highest)
{
    for (int32_t i = 0; i <= highest && t.pages != nullptr; ++i) {
        auto* page = static_cast<Constraint**>(t.pages[i >> kConstraintManagerPageShift]);
        if (page != nullptr)
            Constraint_Delete(page[i & (kConstraintManagerPageSize - 1)], 0);
    }
    DVKMem_FreeChunksArray(t.pages, t.pageCount);
    DVKMem_FreeChunksArray(t.references, t.referencePages);
    t = Tables();
}

bool readEntries(BinFileReader* reader, const Header& h, Tables& t, Voc* vocabulary,
                 ClassManager* classManager)
{
    if (h.pages > 0) {
        t.pages = static_cast<void**>(DVKMem_Calloc(h.capacity * static_cast<uint32_t>(sizeof(void*))));
        if (t.pages == nullptr)
            return false;
        for (; t.pageCount < h.pages; ++t.pageCount) {
            t.pages[t.pageCount] =
                DVKMem_Calloc(kConstraintManagerPageSize * static_cast<uint32_t>(sizeof(Constraint*)));
            if (t.pages[t.pageCount] == nullptr)
                return false;
        }
    }
    for (int32_t i = 0; i <= h.highest; ++i) {
        uint32_t flag = 0;
        if (BinFileReader_ReadUnsignedInt(reader, &flag) == 0 || flag > 1)
            return false;
        if (flag == 0)
            continue;
        int32_t type = 0;
        if (BinFileReader_ReadInt(reader, &type) == 0)
            return false;
        Constraint* con = Constraint_ReadFromBinFile(reader, type, vocabulary, classManager);
        if (con == nullptr)
            return false;
        static_cast<Constraint**>(t.pages[i >> kConstraintManagerPageShift])
            [i & (kConstraintManagerPageSize - 1)] = con;
    }
    uint32_t chunks = 0;
    const int32_t ok =
        h.referenceCapacity > 0
            ? BinFileReader_AllocateAndReadChunkedArray(reader, &t.references, h.referenceCapacity,
                                                        kConstraintManagerPageSize, 4, &chunks)
            : BinFileReader_ReadChunkedArray(reader, nullptr, 0, kConstraintManagerPageSize, 4, &chunks);
    if (ok == 0)
        return false;
    t.referencePages = chunks;
    return chunks == h.referencePages;
}

// Every constraint read needs a reference word that something can release.
bool referencesHold(const Tables& t, int32_t highest)
{
    for (int32_t i = 0; i <= highest; ++i) {
        const int32_t page = i >> kConstraintManagerPageShift;
        const int32_t entry = i & (kConstraintManagerPageSize - 1);
        if (static_cast<Constraint**>(t.pages[page])[entry] == nullptr)
            continue;
        const uint32_t word = static_cast<uint32_t*>(t.references[page])[entry];
        if ((word & ~(kConstraintManagerApiHold | kConstraintManagerClassReferences)) != 0 ||
            word == 0)
            return false;
    }
    return true;
}

} // namespace

int32_t ConstraintManager_ReadPSAFile(ConstraintManager* m, DVKTar* archive, const char* prefix,
                                      Voc* vocabulary, ClassManager* classManager)
{
    // A restore goes into the empty manager of creation.
    if (m == nullptr || m->count > 0)
        return 0;
    BinFileReader* reader = BinFileReader_Create(archive, "bcm0", prefix);
    if (reader == nullptr)
        return 0;
    Header h{0, 0, 0, -1, 0, 0};
    Tables t;
    const bool ok = readHeader(reader, &h) && readEntries(reader, h, t, vocabulary, classManager) &&
                    referencesHold(t, h.highest);
    BinFileReader_Delete(reader);
    if (!ok) {
        freeTables(t, h.highest);
        return 0;
    }
    DVKMem_FreeChunksArray(m->pages, m->pagesAllocated);
    DVKMem_FreeChunksArray(m->references, m->referencePages);
    m->pages = t.pages;
    m->pagesAllocated = h.pages;
    m->capacity = h.capacity;
    m->references = t.references;
    m->referencePages = h.referencePages;
    m->referenceCapacity = h.referenceCapacity;
    // Transcriptions read back empty: count and highest follow what is held.
    m->count = 0;
    m->highest = -1;
    for (int32_t i = 0; i <= h.highest; ++i) {
        if (static_cast<Constraint**>(m->pages[i >> kConstraintManagerPageShift])
                [i & (kConstraintManagerPageSize - 1)] != nullptr) {
            ++m->count;
            m->highest = i;
        }
    }
    return 1;
}

int32_t ConstraintManager_WritePSAFile(ConstraintManager* m, DVKTar* archive, const char* prefix)
{
    if (m == nullptr)
        return 0;
    BinFileWriter* writer = BinFileWriter_Create(archive, "bcm0", prefix);
    if (writer == nullptr)
        return 0;
    bool ok = BinFileWriter_WriteUnsignedInt(writer, m->capacity) != 0 &&
              BinFileWriter_WriteUnsignedInt(writer, m->pagesAllocated) != 0 &&
              BinFileWriter_WriteInt(writer, m->count) != 0 &&
              BinFileWriter_WriteInt(writer, m->highest) != 0 &&
              BinFileWriter_WriteUnsignedInt(writer, m->referenceCapacity) != 0 &&
              BinFileWriter_WriteUnsignedInt(writer, m->referencePages) != 0;
    for (int32_t i = 0; ok && i <= m->highest; ++i) {
        Constraint* con = ConstraintManager_GetConstraint(m, i);
        const bool keep = stored(con);
        ok = BinFileWriter_WriteUnsignedInt(writer, keep ? 1u : 0u) != 0 &&
             (!keep || (BinFileWriter_WriteInt(writer, con->type) != 0 &&
                        Constraint_WritePSAFile(con, writer) != 0));
    }
    ok = ok && BinFileWriter_WriteChunkedArray(writer, m->references, m->referencePages,
                                               kConstraintManagerPageSize, 4) != 0;
    const bool completed = BinFileWriter_Delete(writer) == 0;
    return ok && completed ? 1 : 0;
}
