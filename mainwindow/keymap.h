#pragma once

#include <Qt>

// What a key does in the main window, apart from the control that has the
// focus. Plain data, so the table can be read (and tested) in one place.
enum class TKeyCommand {
    None,
    // The window's four shortcuts, looked at by their key alone.
    LeaveFullScreen, // Esc
    PasteAndOpen,    // F1
    ShowLinks,       // F4
    ToggleFullScreen, // F11
    // The keys every browser has.
    Back,
    Forward,
    Refresh,
    FocusAddress,
    // Reading: the page's own keys for turning chapters.
    PreviousChapter,
    NextChapter,
    Find,         // Ctrl+F: the find bar
    FindNext,     // F3
    FindPrevious, // Shift+F3
    Print,        // Ctrl+P
    // Page zoom, in the steps of the zoom box (ZoomStep).
    ZoomIn,    // Ctrl+= or Ctrl++
    ZoomOut,   // Ctrl+-
    ZoomReset, // Ctrl+0: 100 %
    // The reading view.
    ToggleReading,    // F9
    NextReadingTheme, // Shift+F9
};

// Keys the window takes before the focused control (the page, the address
// box) acts on them.
TKeyCommand WindowKeyCommand(int key, Qt::KeyboardModifiers modifiers);
// Keys the window takes from the page only when no text field of the page
// has the focus (Backspace in a text field deletes; elsewhere it goes back).
TKeyCommand UnhandledPageKeyCommand(int key, Qt::KeyboardModifiers modifiers);
// Keys the window takes when the page gave them back unused (it scrolled
// nothing with them, and no script of its own prevented them), outside text
// fields: ← and → turn chapters.
TKeyCommand ReturnedPageKeyCommand(int key, Qt::KeyboardModifiers modifiers);
