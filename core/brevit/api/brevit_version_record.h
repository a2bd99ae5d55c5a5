// The version record "brevitversion" that heads every model set and every
// saved user state: which engine made it, its mode, its language, the
// sample rate, checksums of the main components and which optional
// components it holds.
#pragma once

#include "core/brevit/api/brevit.h"

#include <cstdint>

struct DVKTar;

inline constexpr const char* kBrevitVersionTag = "brevitversion";
inline constexpr uint32_t kBrevitVersionMarker = 0x7fffffff;
inline constexpr int32_t kBrevitVersionFormat = 2;
inline constexpr int32_t kBrevitPresenceSize = 13;
inline constexpr int32_t kBrevitLanguageSize = 5;

// Storage modes: model sets (single file, first and second of a pair), then
// saved user states (one archive, A and B of a pair).
enum BrevitStorageMode : int32_t {
    kBrevitModeModelSet = 0,
    kBrevitModeModelSetA = 1,
    kBrevitModeModelSetB = 2,
    kBrevitModeStorage = 3,
    kBrevitModeStorageA = 4,
    kBrevitModeStorageB = 5,
};

// Presence block bytes.
enum BrevitPresence : int32_t {
    kPresenceSynthesis = 0,
    kPresenceClassManager = 1,
    kPresenceConstraintManager = 2,
    kPresencePhraseIndex = 3,
    kPresenceModel1 = 4,
    kPresenceModel2 = 5,
    kPresenceModel3 = 6,
    kPresenceDecoder0 = 7,  // to 11: decoders 0 to 4
    kPresenceGrammar = 12,
};

struct BrevitVersionRecord {
    int32_t format;              // 0, 1 or 2 as read
    int32_t majorVersion;
    int32_t minorVersion;
    int32_t secondMinorVersion;
    int32_t build;
    int32_t mode;
    char language[kBrevitLanguageSize];
    int32_t sampleRate;
    uint32_t properties[2];
    uint32_t frontEndCRC;
    uint32_t modelCRC;
    uint32_t vocabularyCRC;
    uint32_t topologyCRC;
    int32_t synthesisEncoding;
};

// The seven type sizes a format-2 record carries.
inline constexpr int32_t kBrevitTypeSizes[7] = {2, 4, 4, 2, 2, 4, 2};

// Reads the record into rec (zeroed first) and the presence block (size
// bytes, prefilled by the caller and replaced by the stored block when that
// is read): 1 when the record is accepted, else 0.
int32_t BrevitPriv_ReadVersionRecord(DVKTar* tar, BrevitVersionRecord* rec, int32_t presenceSize,
                                     uint8_t* presence);
// Writes a format-2 record; 0, or 9 when the sub-file cannot be written.
EBrevit BrevitPriv_WriteRecord(DVKTar* tar, const BrevitVersionRecord* rec, int32_t presenceSize,
                               const uint8_t* presence);
