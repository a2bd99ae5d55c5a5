// Layout of a signal-processing fuzz input, shared by the target and the
// test that makes its seeds: one byte choosing the receiver's cepstrum count
// (parameter word 516, modulo 24), the info block's length (two bytes, least
// significant first), the info block, then packets back to back.
#pragma once

#include "core/brevit/runtime/brevit_param_words.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace sig_proc_fuzz {

inline constexpr size_t kHeaderBytes = 3;

inline int32_t cepstrumCount(uint8_t chooser) { return chooser % 24; }

// The receiver's front-end words: fields 3 to 9 of a coded block.
template <typename Set>
void setReceiverWords(int32_t cepstra, Set set)
{
    set(kBrevitParamFrameShiftMs, 10u);
    set(kBrevitParamWindowMs, 25u);
    set(kBrevitParamCepstrumCount, static_cast<uint32_t>(cepstra));
    set(kBrevitParamFrontEndValue6, static_cast<uint32_t>(-3));
    set(kBrevitParamFrontEndValue7, 7u);
    set(kBrevitParamFilterBankValue1, 64u);
    set(kBrevitParamFilterBankValue2, 4000u);
}

inline std::string input(uint8_t chooser, const std::string& info, const std::string& packets)
{
    std::string bytes;
    bytes += static_cast<char>(chooser);
    bytes += static_cast<char>(info.size() & 0xFF);
    bytes += static_cast<char>((info.size() >> 8) & 0xFF);
    return bytes + info + packets;
}

} // namespace sig_proc_fuzz
