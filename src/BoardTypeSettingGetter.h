// The board type from the platform's system properties ("com.orvel.preferences"
// "systemProperties/Get"), stored in QrvSettings; then the completion. A
// failure stops there (logged). "UI" only.
#pragma once

#include "platform/bus/wex_service.h"
#include "platform/core/wex_ref_counted.h"

class BoardTypeSettingGetterPimpl;

class BoardTypeSettingGetter {
public:
    // Sends the request at once.
    explicit BoardTypeSettingGetter(WexService* service);
    virtual ~BoardTypeSettingGetter();
    BoardTypeSettingGetter(const BoardTypeSettingGetter&) = delete;
    BoardTypeSettingGetter& operator=(const BoardTypeSettingGetter&) = delete;

    // The board type is stored.
    virtual void boardTypeSettingRead() = 0;

protected:
    // Separate from the constructor: the reply may only reach a complete object.
    void start();

private:
    WexService* m_service;
    WexRefCountedPtr<BoardTypeSettingGetterPimpl> m_pimpl;
};
