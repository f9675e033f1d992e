#pragma once
// The tools of the selector: what each is called and what a press with it starts.
#include <memory>
#include <span>

#include "ui/TGesture.h"

/// One tool of the selector.
struct TTool {
    /// The selector's caption ("&&&" marks the Alt letter).
    const char* Caption;
    /// What a press of the left or middle button with the tool starts in the
    /// main view; null when it starts nothing that lasts (a click that only
    /// selects).
    std::unique_ptr<TGesture> (*Start)(TGestures& gestures, const TPress& press);
};

/// The tools in the selector's order: a tool's index is the selector's
/// ItemIndex. A new tool is a gesture class and a line here.
std::span<const TTool> Tools();
