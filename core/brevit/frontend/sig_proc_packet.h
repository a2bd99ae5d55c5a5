// Signal-processing packets: front-end output handed to, or taken from, a
// remote recogniser as one packet per frame of cepstra, preceded once by an
// info block that says how the packets are coded and with which front-end
// settings they were made.
//
// Coder 0 (raw) sends the 16-bit cepstra as they are and uses the front
// end's snapshot as its info block. Coder 1 (bit-packed) quantises each
// cepstrum to the bits of kSigProcPacketBitTableV1, most significant bit
// first, and uses a 22-byte block of eleven 16-bit fields in the writer's
// byte order: the mark 0xFEFF, the coder type and version 1, the packet
// size, then parameter words 506, 541, 516, 531, 518, 511 and 510.
#pragma once

#include <cstdint>

struct FE;

inline constexpr int32_t kSigProcBitTableSize = 13;
extern const int16_t kSigProcPacketBitTableV1[kSigProcBitTableSize];

inline constexpr int32_t kSigProcCoderRaw = 0;
inline constexpr int32_t kSigProcCoderBitPacked = 1;
inline constexpr int32_t kSigProcCodedInfoSize = 22;
// An info block that cannot be read.
inline constexpr int32_t kSigProcUnreadable = -32768;

// A marked block's coder type; for an unmarked block of snapshot size,
// minus its first word when that is 0 to 3; else kSigProcUnreadable.
int32_t SigProcPacket_GetCoderTypeRaw(int32_t size, const void* info);
// The raw type, with every front-end snapshot (-3 to 0) as coder 0.
int32_t SigProcPacket_GetCoderType(int32_t size, const void* info);
// Info-block and packet sizes of a coder: 1, or 0 when it has none here
// (coder 0 needs a front end; coder 1 at most 13 cepstra).
int32_t SigProcPacket_GetSizes(int32_t coder, FE* fe, int32_t* infoSizeOut,
                               int32_t* packetSizeOut);
// 2n + 9 for the front end's n cepstra, or parameter word 516's without one.
int32_t SigProcPacket_GetRawPacketSize(FE* fe);
// Writes the coder's info block; 0 when it does not fit or cannot be made.
int32_t SigProcPacket_WriteInfo(int32_t coder, FE* fe, int32_t bufferSize, void* buffer);
// 1 when a received block can be used with the current parameter block.
int32_t SigProcPacket_ReadCodedInfo(int32_t size, const void* info);
// The coder, packet size and cepstrum count a received block gives; each
// out may be null. 0 for a block that cannot be used.
int32_t SigProcPacket_GetInfoParameters(int32_t size, const void* info, FE* fe, int32_t* coderOut,
                                        int32_t* packetSizeOut, int32_t* cepstraOut);
// The front-end settings a received block was made with: coder 1 gives its
// fields 3 to 9; a snapshot its words 2 to 7 and parameter word 518.
int32_t SigProcPacket_RetrieveFEParameters(int32_t size, const void* info, int32_t* value1,
                                           int32_t* value2, int32_t* value3, int32_t* value4,
                                           int32_t* value5, int32_t* value6, int32_t* value7);
// Writes one packet of n cepstra into the size bytes at out; 0 for another
// coder or when the packet would not fit.
int32_t SigProcPacket_Pack(int32_t coder, int32_t n, const int16_t* cepstra, int32_t rms,
                           int32_t flag, int32_t size, void* out);
// Reads one packet into at most n cepstra; every out but the cepstra may be
// null. Coder 0 packets must carry parameter word 516's cepstra; coder 1
// packets carry n (at most 13) and no level (0).
int32_t SigProcPacket_Unpack(int32_t coder, const void* packet, int32_t n, int16_t* cepstraOut,
                             int32_t* countOut, int32_t* rmsOut, int32_t* flagOut);
const char* CoderTypeGetName(int32_t coderType);
