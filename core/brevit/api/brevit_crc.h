// Checksums of engine state below the entry points.
#pragma once

#include <cstdint>

struct BrevitChoiceList;

inline constexpr uint32_t kBrevitChoiceEnd = 0xFFFFFFFFu;

// The interval, capacities and count, each listed choice's word ids with
// their class-end bytes (slots past the count are not read), then the
// listed scores.
uint32_t BrevitPriv_ChoiceListCRC(const BrevitChoiceList* list);
