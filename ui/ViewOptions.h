#pragma once
// The view's options that the editor remembers between runs, in the user's
// configuration folder ($XDG_CONFIG_HOME/kestedit/kestedit.conf). Every one is
// off until the user switches it on.

/// The live route check ("Проверять пути на ходу").
inline constexpr const char* LiveRouteCheckKey = "view/liveRouteCheck";

/// The option's remembered state; false when it was never set or cannot be read.
bool ReadViewOption(const char* key);
/// Remembers the option's state.
void WriteViewOption(const char* key, bool on);
