// The dialog manager's rules, once for every backend: which of the user's keys and commands
// a dialog ignores, and where the keyboard focus is. A backend feeds the user's keys in
// (UserKeyTab, UserKeyArrow, UserKeyEscape...) and follows the model's focus (Change::Focus
// on the dialog), so that every home moves the focus alike.
//
// The focus is on one control of the dialog, or on none. It moves with Tab and Shift+Tab to
// the next tab stop (WS_TABSTOP; a radio button told its check state is one only while
// checked, as BM_SETCHECK makes it) that can take it, round the dialog; with the arrow keys
// within a WS_GROUP group, checking an automatic radio button it lands on; to a control the
// user clicks; and on to the next tab stop when its control is disabled or hidden, as
// Windows never leaves it on a control that cannot take it. A dialog none of whose usable
// controls is a tab stop (a wizard page whose tab stops are all hidden) tabs through every
// control that can take the focus, so that the keyboard is never stuck on one control.
#pragma once

#include "platform/ui/window.h"

namespace drovan::ui {

// Why the dialog manager ignores Escape and WM_CLOSE in this dialog ("Cancel disabled": it
// has an IDCANCEL control, disabled), or nullptr when they are Cancel.
const char* CancelIgnoredBecause(const Window& dialog);
// Why the close box, Alt+F4 and the window menu's Close do nothing ("no close box", "close
// box disabled", "Cancel disabled"), or nullptr when they are Cancel.
const char* CloseIgnoredBecause(const Window& dialog);

// A visible, enabled control of a kind that takes the keyboard: buttons (not group boxes),
// edits, combo boxes, address controls.
bool CanTakeFocus(const Window& control);
// The control with the dialog's focus, or nullptr.
Window* FocusOf(const Window& dialog);
// Gives the focus to a control of the dialog (nullptr: none).
void SetFocusModel(Window& dialog, Window* control);
// Where the focus goes from `from` (nullptr: from before the first control) with Tab, or
// Shift+Tab when !forward; nullptr when nowhere else.
Window* NextTabStop(const Window& dialog, const Window* from, bool forward);
// The focus a dialog starts with, once WM_INITDIALOG has left it to the dialog manager.
void SetInitialFocus(Window& dialog);
// A control was disabled or hidden: the focus it had moves on to the next tab stop.
void FocusMovesOn(Window& control);

// The user's keys and clicks.
void UserKeyTab(Window& dialog, bool forward);
// An arrow key on a button (false: the key is the control's own): the focus moves within
// its group, and an automatic radio button it lands on is clicked.
bool UserKeyArrow(Window& from, bool forward);
// The user put the focus on a control (a click into it): ignored when it cannot take it.
void UserFocused(Window& control);

}  // namespace drovan::ui
