#include "ui/RunGuarded.h"

#include <cstdio>
#include <new>
#include <stdexcept>

#include "platform/Dialogs.h"
#include "platform/Errors.h"

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
    // The user stopped it: there is nothing to tell.
    try {
        std::rethrow_exception(error);
    } catch (const ELoadCancelled&) {
        return;
    } catch (...) {
    }
    const std::string text = ErrorText(error);
    try {
        Messages().ShowError(text);
    } catch (...) {
        // The message box itself failed (no service, no memory): the error
        // must still not escape into Qt, so it goes to the console instead.
        std::fprintf(stderr, "%s\n", text.c_str());
    }
}
