// What the go-to, help and phone-mode access layers share: entries copied
// from the porting layer's named lists and searched by name.
#pragma once

#include "oem/dvk_oem_named_entry.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_settings.h"

#include <cstring>

namespace dvk_named_list {

// Every text ends at its 64th unit, whatever the provider wrote.
inline void terminate(dvk_oem_NamedEntry* entry)
{
    entry->name[DVK_OEM_TEXT_LENGTH - 1] = 0;
    entry->pronunciation[DVK_OEM_TEXT_LENGTH - 1] = 0;
    entry->synonyms[0][DVK_OEM_TEXT_LENGTH - 1] = 0;
    entry->synonyms[1][DVK_OEM_TEXT_LENGTH - 1] = 0;
}

template <class Iterator>
void fill(Iterator iterator, dvk_oem_NamedEntry* entry,
          void (*provide)(Iterator, dvk_oem_NamedEntry*))
{
    std::memset(entry, 0, sizeof *entry);
    provide(iterator, entry);
    terminate(entry);
}

// A new entry for the item, or NULL when memory is short.
template <class Iterator>
dvk_oem_NamedEntry* create(Iterator iterator, void (*provide)(Iterator, dvk_oem_NamedEntry*))
{
    DVK_ASSERT(iterator != DVK_NULL);
    auto* entry = static_cast<dvk_oem_NamedEntry*>(dvk_mem_alloc(sizeof(dvk_oem_NamedEntry)));
    if (entry != nullptr)
        fill(iterator, entry, provide);
    return entry;
}

inline bool same(const dvk_ucs2_Char* a, const dvk_ucs2_Char* b)
{
    while (*a != 0 && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

// The first item whose name or (non-empty) synonym equals name exactly.
template <class Iterator>
Iterator find(const dvk_ucs2_Char* name, Iterator (*first)(int32_t), Iterator (*next)(Iterator),
              void (*provide)(Iterator, dvk_oem_NamedEntry*))
{
    DVK_ASSERT(name != DVK_NULL);
    dvk_oem_NamedEntry entry;
    for (Iterator it = first(dvk_settings_getCurrentLanguage()); it != nullptr; it = next(it)) {
        fill(it, &entry, provide);
        if (same(entry.name, name) || (entry.synonyms[0][0] != 0 && same(entry.synonyms[0], name)) ||
            (entry.synonyms[1][0] != 0 && same(entry.synonyms[1], name)))
            return it;
    }
    return nullptr;
}

// The text, or NULL when it is empty.
inline const dvk_ucs2_Char* orNone(const dvk_ucs2_Char* text)
{
    return text[0] != 0 ? text : nullptr;
}

inline const dvk_ucs2_Char* synonym(const dvk_oem_NamedEntry* entry, int32_t index)
{
    DVK_ASSERT(entry != DVK_NULL);
    DVK_ASSERT(index == 0 || index == 1);
    return orNone(entry->synonyms[index]);
}

inline void destroy(dvk_oem_NamedEntry** entry)
{
    DVK_ASSERT(entry != DVK_NULL);
    dvk_mem_dealloc(entry);
}

} // namespace dvk_named_list

// The operations of one family, over its porting provider: `prefix` names
// the suite's operations, `oem` the provider's, `Noun` their item ("App",
// "Topic", "Mode").
#define DVK_NAMED_LIST_FAMILY(prefix, oem, Noun, Iterator, EntryType)                              \
    Iterator prefix##_getFirst##Noun()                                                             \
    {                                                                                              \
        return oem##_getFirst##Noun(dvk_settings_getCurrentLanguage());                            \
    }                                                                                              \
    Iterator prefix##_getNext##Noun(Iterator iterator)                                             \
    {                                                                                              \
        DVK_ASSERT(iterator != DVK_NULL);                                                          \
        return oem##_getNext##Noun(iterator);                                                      \
    }                                                                                              \
    Iterator prefix##_find##Noun##ByName(const dvk_ucs2_Char* name)                                \
    {                                                                                              \
        return dvk_named_list::find(name, oem##_getFirst##Noun, oem##_getNext##Noun,               \
                                    oem##_get##Noun##Entry);                                       \
    }                                                                                              \
    EntryType* prefix##_get##Noun##Entry(Iterator iterator)                                        \
    {                                                                                              \
        return dvk_named_list::create(iterator, oem##_get##Noun##Entry);                           \
    }                                                                                              \
    void prefix##_destroy##Noun##Entry(EntryType** entry) { dvk_named_list::destroy(entry); }      \
    const dvk_ucs2_Char* prefix##_get##Noun##Name(const EntryType* entry)                          \
    {                                                                                              \
        DVK_ASSERT(entry != DVK_NULL);                                                             \
        return entry->name;                                                                        \
    }                                                                                              \
    const dvk_ucs2_Char* prefix##_get##Noun##Synonym(const EntryType* entry, int32_t index)        \
    {                                                                                              \
        return dvk_named_list::synonym(entry, index);                                              \
    }                                                                                              \
    const dvk_ucs2_Char* prefix##_getPronunciation(const EntryType* entry)                         \
    {                                                                                              \
        DVK_ASSERT(entry != DVK_NULL);                                                             \
        return dvk_named_list::orNone(entry->pronunciation);                                       \
    }                                                                                              \
    int32_t prefix##_get##Noun##Context(const EntryType* entry)                                    \
    {                                                                                              \
        DVK_ASSERT(entry != DVK_NULL);                                                             \
        return entry->context;                                                                     \
    }
