#include "platform/core/wex_signal.h"

void WexSignalHandler::handleCancel(const WexSlotBase&) {}

WexSignalHandler::~WexSignalHandler() = default;
