// The contact reader behind the suite's contact iterators. Each iterator is a
// slot number (1 or more; 0: none or the end) naming a query over the persons
// kind that is fetched one page at a time. The iterators are used on "VR";
// each page is asked for on "UI", where the database client lives, while
// "VR" waits on a semaphore. Every person examined raises the voice data's
// watermark; only valid persons are handed out.
#pragma once

#include "platform/core/wex_object.h"

#include <memory>

// The porting interface's contact iterator: a slot number in a pointer.
typedef void* dvk_oem_pbook_ContactIterator;

class QrvContactV2SemPimpl;

class QrvContactV2Sem {
public:
    // A new query (all persons, or those changed since the watermark of now)
    // in a new slot; nothing is fetched yet.
    static dvk_oem_pbook_ContactIterator getFirst(bool modifiedOnly);
    // The same iterator on the next person, or 0 at the end (the query is
    // then gone).
    static dvk_oem_pbook_ContactIterator getNext(dvk_oem_pbook_ContactIterator iterator, bool ignored);
    // The current valid person, or empty.
    static std::shared_ptr<WexObject> getCurrent(dvk_oem_pbook_ContactIterator iterator);
    // Positions the query on the first valid person the name search finds;
    // 0 when there is none. `name`: given name, blank and tab, family name;
    // or a tab and a company name (two tabs: the found persons' company must
    // also equal it).
    static dvk_oem_pbook_ContactIterator findByName(dvk_oem_pbook_ContactIterator iterator, const char* name);
    static void deleteSem(dvk_oem_pbook_ContactIterator iterator);

    explicit QrvContactV2Sem(bool modifiedOnly);
    virtual ~QrvContactV2Sem();
    QrvContactV2Sem(const QrvContactV2Sem&) = delete;
    QrvContactV2Sem& operator=(const QrvContactV2Sem&) = delete;

private:
    std::shared_ptr<QrvContactV2SemPimpl> m_pimpl;
};
