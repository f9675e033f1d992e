#pragma once
// The view's options that the editor remembers between runs, in the user's
// configuration folder ($XDG_CONFIG_HOME/kestedit/kestedit.conf). Every one is
// off until the user switches it on.

/// The live route check ("Проверять пути на ходу").
inline constexpr const char* LiveRouteCheckKey = "view/liveRouteCheck";

/// Length and heading while drawing, and the coordinates under the mouse ("Размеры").
inline constexpr const char* MeasuresKey = "view/measures";

/// The option's remembered state; false when it was never set or cannot be read.
bool ReadViewOption(const char* key);
/// Remembers the option's state.
void WriteViewOption(const char* key, bool on);

/// A remembered whole number, or fallback when it was never set, cannot be
/// read or lies outside [low, high].
int ReadNumber(const char* key, int fallback, int low, int high);
/// Remembers a whole number.
void WriteNumber(const char* key, int value);
