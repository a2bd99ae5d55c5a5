// Decoding the compressed store's word records: the byte cursor over the
// stream and its code books, one record decoded whole, a block walked
// record by record, and the key search over the blocks' first keys.
#pragma once

#include "core/brevit/lexicon/mwl_compress.h"

#include <cstdint>
#include <vector>

struct MWLCompressPron {
    std::vector<uint16_t> phonemes;  // without 0xFFFF or marker
    int32_t posId;                   // -1 without part-of-speech ids
    int32_t synthesis;
};

struct MWLCompressRecord {
    std::vector<uint8_t> key;        // rebuilt from the block's previous keys
    int32_t shared = 0;
    int32_t code = 0;
    std::vector<uint8_t> exact;      // code 16 only
    int32_t flags = 0;
    std::vector<uint8_t> spoken;
    int32_t stored = 0;              // pron count the part gives (1 when generated)
    int32_t markerPosition = 254;
    std::vector<MWLCompressPron> prons;  // stored prons; one without phonemes when generated
    uint32_t raw[5] = {0, 0, 0, 0, 0};   // unigram, class, attributes, affix, semantic
};

// Walks the records from the start of a block on into the following ones.
struct MWLCompressWalk {
    const MWLCompressStatic* s;
    int32_t block;
    int32_t index;                   // in the block of the record decoded next
    int32_t position;
    std::vector<uint8_t> previous;   // key of the previous record of the block
};

void MWLCompress_StartWalk(const MWLCompressStatic* s, int32_t block, MWLCompressWalk* w);
// The next record; its id in *id. False at the end of the stream or on a
// damaged record (never after the load pass accepted the stream).
bool MWLCompress_Next(MWLCompressWalk* w, MWLCompressRecord* r, uint32_t* id);
// The record of a static id.
bool MWLCompress_LocateWord(const MWLCompressStatic* s, uint32_t id, MWLCompressRecord* r);
// The block whose records a search for key begins in: the last whose first
// key is below it, else block 0.
int32_t MWLCompress_FindBlock(const MWLCompressStatic* s, const uint8_t* key, int32_t keyLength);
// The load pass: every record decodes inside its block, keys ascend, and the
// current maxima are raised to what the records hold.
bool MWLCompress_CheckAndMeasure(MWLCompress* l);
