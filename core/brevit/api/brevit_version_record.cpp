#include "core/brevit/api/brevit_version_record.h"

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/bin_file_writer.h"

#include <cstring>

namespace {

bool readInt(BinFileReader* r, int32_t* value)
{
    return BinFileReader_ReadInt(r, value) == 1;
}

bool readWord(BinFileReader* r, uint32_t* value)
{
    return BinFileReader_ReadUnsignedInt(r, value) == 1;
}

// The counted 4-byte language code, copied bounded and terminated.
bool readLanguage(BinFileReader* r, char* language)
{
    uint32_t count = 0;
    if (!readWord(r, &count) || count != 4)
        return false;
    char code[4];
    if (BinFileReader_ReadRaw(r, 4, code) != 1)
        return false;
    std::memcpy(language, code, 4);
    language[4] = '\0';
    return true;
}

// The layout-dependent first part: 1 accepted so far, else 0.
bool readHead(BinFileReader* r, BrevitVersionRecord* rec)
{
    uint32_t first = 0;
    if (!readWord(r, &first))
        return false;
    if (first != kBrevitVersionMarker) {
        // Format 0: the second minor version, the language, the mode.
        rec->format = 0;
        rec->secondMinorVersion = static_cast<int32_t>(first);
        return readLanguage(r, rec->language) && readInt(r, &rec->mode);
    }
    if (!readInt(r, &rec->format) || (rec->format != 1 && rec->format != 2))
        return false;
    if (!readInt(r, &rec->majorVersion) || !readInt(r, &rec->minorVersion) ||
        !readInt(r, &rec->secondMinorVersion) || !readInt(r, &rec->build))
        return false;
    if (rec->format == 2) {
        for (int32_t expected : kBrevitTypeSizes) {
            int32_t size = 0;
            if (!readInt(r, &size) || size != expected)
                return false;
        }
        return readInt(r, &rec->mode) && readLanguage(r, rec->language);
    }
    return readInt(r, &rec->mode) && readLanguage(r, rec->language);
}

// The common second part; a read failing here ends it without refusing.
void readTail(BinFileReader* r, BrevitVersionRecord* rec, int32_t presenceSize, uint8_t* presence)
{
    if (!readInt(r, &rec->sampleRate) || !readWord(r, &rec->properties[0]) ||
        !readWord(r, &rec->properties[1]) || !readWord(r, &rec->frontEndCRC) ||
        !readWord(r, &rec->modelCRC) || !readWord(r, &rec->vocabularyCRC) ||
        !readWord(r, &rec->topologyCRC))
        return;
    uint32_t count = 0;
    if (!readWord(r, &count) || count != static_cast<uint32_t>(presenceSize))
        return;
    if (BinFileReader_ReadRaw(r, count, presence) != 1)
        return;
    readInt(r, &rec->synthesisEncoding);
}

} // namespace

int32_t BrevitPriv_ReadVersionRecord(DVKTar* tar, BrevitVersionRecord* rec, int32_t presenceSize,
                                     uint8_t* presence)
{
    std::memset(rec, 0, sizeof(*rec));
    BinFileReader* r = BinFileReader_Create(tar, kBrevitVersionTag, nullptr);
    if (r == nullptr)
        return 0;
    bool ok = readHead(r, rec) && rec->mode >= kBrevitModeModelSet && rec->mode <= kBrevitModeStorageB;
    if (ok) {
        // The presence block is read whole or not at all.
        uint8_t stored[256];
        const int32_t size = presenceSize <= 256 ? presenceSize : 256;
        std::memcpy(stored, presence, static_cast<size_t>(size));
        readTail(r, rec, size, stored);
        std::memcpy(presence, stored, static_cast<size_t>(size));
        ok = BinFileReader_IsAtEnd(r) == 1;
    }
    if (ok && rec->mode <= kBrevitModeModelSetB && rec->minorVersion != rec->secondMinorVersion)
        ok = false;
    BinFileReader_Delete(r);
    return ok ? 1 : 0;
}

EBrevit BrevitPriv_WriteRecord(DVKTar* tar, const BrevitVersionRecord* rec, int32_t presenceSize,
                               const uint8_t* presence)
{
    BinFileWriter* w = BinFileWriter_Create(tar, kBrevitVersionTag, nullptr);
    if (w == nullptr)
        return EBrevit_StorageWriteError;
    bool ok = BinFileWriter_WriteUnsignedInt(w, kBrevitVersionMarker) == 1 &&
              BinFileWriter_WriteInt(w, kBrevitVersionFormat) == 1 &&
              BinFileWriter_WriteInt(w, rec->majorVersion) == 1 &&
              BinFileWriter_WriteInt(w, rec->minorVersion) == 1 &&
              BinFileWriter_WriteInt(w, rec->secondMinorVersion) == 1 &&
              BinFileWriter_WriteInt(w, rec->build) == 1;
    for (int32_t size : kBrevitTypeSizes)
        ok = ok && BinFileWriter_WriteInt(w, size) == 1;
    ok = ok && BinFileWriter_WriteInt(w, rec->mode) == 1 &&
         BinFileWriter_WriteUnsignedInt(w, 4) == 1 && BinFileWriter_WriteRaw(w, 4, rec->language) == 1 &&
         BinFileWriter_WriteInt(w, rec->sampleRate) == 1 &&
         BinFileWriter_WriteUnsignedInt(w, rec->properties[0]) == 1 &&
         BinFileWriter_WriteUnsignedInt(w, rec->properties[1]) == 1 &&
         BinFileWriter_WriteUnsignedInt(w, rec->frontEndCRC) == 1 &&
         BinFileWriter_WriteUnsignedInt(w, rec->modelCRC) == 1 &&
         BinFileWriter_WriteUnsignedInt(w, rec->vocabularyCRC) == 1 &&
         BinFileWriter_WriteUnsignedInt(w, rec->topologyCRC) == 1 &&
         BinFileWriter_WriteUnsignedInt(w, static_cast<uint32_t>(presenceSize)) == 1 &&
         BinFileWriter_WriteRaw(w, static_cast<uint32_t>(presenceSize), presence) == 1 &&
         BinFileWriter_WriteInt(w, rec->synthesisEncoding) == 1;
    const bool completed = BinFileWriter_Delete(w) == 0;
    return ok && completed ? EBrevit_OK : EBrevit_StorageWriteError;
}
