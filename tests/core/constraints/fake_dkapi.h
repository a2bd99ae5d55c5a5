// A double of the speech API's side of the grammar: a phrase list whose
// items carry their recognisable flag, and the digit counts of a digits
// request, both settable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FakeDkapiItem {
    std::u16string text;
    bool recognisable = true;
};

struct FakeDkapi {
    std::vector<FakeDkapiItem> items;
    int32_t minimumDigits = 0, maximumDigits = 0;
};

FakeDkapi& fakeDkapi();  // reset with fakeDkapi() = {}
