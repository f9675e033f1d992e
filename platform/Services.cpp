#include <stdexcept>

#include "platform/Dialogs.h"

namespace {
TMessageService* installedMessages = nullptr;
}

TMessageService& Messages()
{
    if (!installedMessages) throw std::logic_error("no message service installed");
    return *installedMessages;
}

void SetMessageService(TMessageService* service) { installedMessages = service; }
