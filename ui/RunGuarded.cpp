#include "ui/RunGuarded.h"

#include <cstdio>
#include <new>
#include <stdexcept>

#include "platform/Dialogs.h"

std::string ErrorText(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::bad_alloc&) {
        return "Out of memory";
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error";
    }
}

void ReportHandlerError(std::exception_ptr error)
{
    const std::string text = ErrorText(error);
    try {
        Messages().ShowError(text);
    } catch (...) {
        // The message box itself failed (no service, no memory): the error
        // must still not escape into Qt, so it goes to the console instead.
        std::fprintf(stderr, "%s\n", text.c_str());
    }
}
