#pragma once
// The one way an error raised in a handler reaches the user: its message in
// the error message box, after which the handler is abandoned and the
// program goes on. No exception may unwind through Qt's own frames, so every
// entry from Qt into the editor's code (event dispatch, signal connections,
// widget event overrides) goes through RunGuarded.
#include <exception>
#include <string>
#include <utility>

/// The text the user sees for an exception caught at the catch point.
std::string ErrorText(std::exception_ptr error);
/// Shows the message of error through Messages().ShowError. Never throws.
void ReportHandlerError(std::exception_ptr error);

/// Runs handler; an exception it raises is reported and swallowed.
/// True when the handler finished normally.
template <class F>
bool RunGuarded(F&& handler)
{
    try {
        std::forward<F>(handler)();
        return true;
    } catch (...) {
        ReportHandlerError(std::current_exception());
        return false;
    }
}

/// Wraps handler for a Qt signal connection: arguments of the signal are dropped.
template <class F>
auto Guarded(F handler)
{
    return [handler](auto&&...) { RunGuarded(handler); };
}
