#include "oem/dvk_oem_pbook_ui.h"

#include "src/QrvUiStateChange.h"

void dvkOemPbookToNeither(void*)
{
    QrvUiStateChange::get().toNeither();
}
