// Walks a word class's members as the recogniser wrapper does: getFirst,
// then getEntry and freeEntry for each iterator, then getNext, until 0.
#pragma once

#include "core/constraints/dvk_constraints_records.h"

#include <optional>
#include <string>
#include <vector>

struct WalkedMember {
    std::optional<std::u16string> surface, spoken;  // none: the entry gave none

    bool operator==(const WalkedMember&) const = default;
};

// Stops after `limit` members, so a walk that never ends fails its test.
inline std::vector<WalkedMember> walkClass(dvk_constraints_WordClass* wordClass,
                                           dvk_string_Table* strings, size_t limit = 1000)
{
    auto text = [](const dvk_ucs2_Char* s) -> std::optional<std::u16string> {
        if (s == nullptr)
            return std::nullopt;
        return std::u16string(reinterpret_cast<const char16_t*>(s));
    };
    std::vector<WalkedMember> members;
    for (dvk_constraints_Iterator it = wordClass->getFirst(wordClass); it != 0 && members.size() < limit;
         it = wordClass->getNext(wordClass, it)) {
        dvk_ucs2_Char* surface = nullptr;
        dvk_ucs2_Char* spoken = nullptr;
        wordClass->getEntry(wordClass, strings, it, &surface, &spoken);
        members.push_back({text(surface), text(spoken)});
        wordClass->freeEntry(wordClass, &surface, &spoken);
    }
    return members;
}

// The surfaces alone, "(none)" where the entry gave none.
inline std::vector<std::u16string> walkSurfaces(dvk_constraints_WordClass* wordClass,
                                                dvk_string_Table* strings)
{
    std::vector<std::u16string> surfaces;
    for (const WalkedMember& m : walkClass(wordClass, strings))
        surfaces.push_back(m.surface.value_or(u"(none)"));
    return surfaces;
}
