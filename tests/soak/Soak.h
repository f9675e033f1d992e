#pragma once
// Random use of the real editor window: presses, drags, buttons, the list,
// the overview, the wheel, menus and shortcuts, with the dialogs answering at
// random, and after every action the checks of what must always hold.
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

/// One thing a user does. Kind names it; A..D are its numbers (coordinates,
/// a button, an index); Seed drives the answers of any dialog it opens.
struct TSoakAction {
    enum TKind : std::uint8_t {
        Press,       ///< main view: A x, B y, C button (0 left, 1 right, 2 middle), D bits 1 Shift, 2 Ctrl
        Move,        ///< main view: A x, B y
        Release,     ///< main view: A x, B y, C button
        Tool,        ///< the tool selector: A index (-1 none .. 5)
        Button,      ///< Button<A> clicked (1..8)
        ListLine,    ///< a click on line A of the map list, D 1 with Ctrl
        ListBelow,   ///< a click below the map list's last line
        Overview,    ///< overview: A x, B y, C 0 press, 1 move, 2 release
        Wheel,       ///< over the main view: A x, B y, C +1 up / -1 down, D modifiers (1 Ctrl, 2 Shift)
        Menu,        ///< menu item A (index into the window's menu items)
        Shortcut,    ///< the key sequence of menu item A, typed
        Key,         ///< key A (0 Delete, 1 Escape, 2..5 left, right, up, down in the main view, B 1 with Shift)
        Tick,        ///< one redraw tick
        /// A command that may open a dialog, typed or clicked while a button may be held: A 0 Ctrl+S,
        /// 1 Ctrl+O, 2 Ctrl+A, 3 Ctrl+I, 4 Ctrl+M, 5 Ctrl+L, 6 "Цвет...", 7 Ctrl+Q
        Dialog,
        Lost,        ///< button C held in the main view comes up where the view never sees it (a dialog took it)
        KindCount
    };
    TKind Kind = Tick;
    std::int32_t A = 0;
    std::int32_t B = 0;
    std::int32_t C = 0;
    std::int32_t D = 0;
    std::uint32_t Seed = 0;

    /// One line of text: the kind's name and the five numbers.
    std::string ToText() const;
    /// Parses ToText's line; false when it is not one.
    static bool FromText(const std::string& line, TSoakAction& action);
};

using TSoakScript = std::vector<TSoakAction>;

/// The actions of a run from seed, count of them.
TSoakScript MakeSoakScript(std::uint32_t seed, std::size_t count);

/// Runs a script against a fresh window in a fresh scratch folder and returns
/// the first broken rule as text ("" when every check held). Needs the
/// application object (EnsureSoakApplication).
std::string RunSoakScript(const TSoakScript& script, std::size_t* actionsRun = nullptr);

/// The shortest script found, by cutting pieces out, that still fails.
TSoakScript ShrinkSoakScript(const TSoakScript& failing, std::size_t maxRuns = 400);

/// Creates the one application object (offscreen) if there is none.
void EnsureSoakApplication();
