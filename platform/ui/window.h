// The framework's model of a window: one object per dialog and per control, holding the
// state that Windows keeps for it (text, visibility, check state, list items, progress
// range, address fields...). The shared control behaviour works on this model; a backend
// mirrors it on screen and reports the user's input back (see backend.h).
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "res/dialog_template.h"

class CWnd;

namespace drovan::ui {

using Text = std::basic_string<WCHAR>;
using res::ControlKind;

enum class WindowKind { Dialog, Button, Edit, Static, ComboBox, Progress, IpAddress };

// What changed, so that a backend updates only that.
enum class Change { Text, Visible, Enabled, Check, Items, Selection, Progress, Address, Image,
                    Icon, Topmost, Menu, Iconic, Focus };

struct Window {
    HWND hwnd = nullptr;
    WindowKind kind = WindowKind::Static;
    Window* parent = nullptr;                      // the dialog of a control
    std::vector<std::unique_ptr<Window>> children; // a dialog's controls, tab order
    int id = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT dlu{};  // position and size in dialog units (left, top, width, height as right/bottom)
    Text text;
    CWnd* wrapper = nullptr;  // the CWnd attached to this window, if any
    void* peer = nullptr;     // the backend's object

    // Button.
    int check = BST_UNCHECKED;
    bool pressed = false;  // button down seen, waiting for button up
    // Combo box.
    std::vector<Text> items;
    std::vector<DWORD_PTR> itemData;
    int sel = CB_ERR;
    // Progress bar.
    int lo = 0, hi = 100, pos = 0, step = 10;
    // IP address: -1 for a blank field.
    std::array<int, 4> address{-1, -1, -1, -1};
    // Static picture.
    HANDLE image = nullptr;

    // Dialog.
    const res::DialogTemplate* tmpl = nullptr;
    HWND owner = nullptr;
    INT_PTR endCode = 0;
    bool ended = false;
    bool closeGrayed = false;
    bool topmost = false;
    bool iconic = false;
    bool needsPaint = false;
    int defId = 0;  // DM_SETDEFID; 0: the first default push button
    HWND focus = nullptr;  // the control with the keyboard focus (dialog_manager.h)
    HICON bigIcon = nullptr, smallIcon = nullptr;

    bool Visible() const { return (style & WS_VISIBLE) != 0; }
    bool Enabled() const { return (style & WS_DISABLED) == 0; }
    DWORD ButtonType() const { return style & BS_TYPEMASK; }
    Window* Child(int childId) const;
    Window* Dialog() { return kind == WindowKind::Dialog ? this : parent; }
};

// Handle registry: every live window by handle. Handles of the framework's own objects
// (windows, menus, GDI objects) come from one counter.
uintptr_t NewHandleValue();
Window* FromHandle(HWND hwnd);
HWND Register(Window* w);
void Unregister(Window* w);

// Builds a dialog and its controls from a template, with no backend peer yet.
std::unique_ptr<Window> BuildDialog(const res::DialogTemplate& t, HWND owner);

// Sends a message to a window: its CWnd's message map first, then the window's own
// behaviour. From a thread other than the GUI thread the message is handed to the GUI
// thread and the caller waits, as Windows does.
LRESULT Send(Window& w, UINT msg, WPARAM wParam, LPARAM lParam);
// The behaviour of the window's class (the default window procedure).
LRESULT DefaultProc(Window& w, UINT msg, WPARAM wParam, LPARAM lParam);

// A user's click on a button, after the backend has seen it: an auto check box or radio
// button changes state first, then the parent is notified with BN_CLICKED.
void UserClicked(Window& button);
// A user's choice in a combo box's list: the selection, then CBN_SELCHANGE.
void UserSelected(Window& combo, int index);
// A user's typing into an edit or address control: the text, then EN_CHANGE.
void UserTyped(Window& control, const Text& text);
// Escape and Enter as IsDialogMessage treats them (dialog_manager.h: when Escape is ignored).
void UserKeyEscape(Window& dialog);
bool UserKeyEnter(Window& dialog);  // false when the default button is disabled
// The close box (or Alt+F4): WM_SYSCOMMAND SC_CLOSE.
void UserClose(Window& dialog);

// The window GDI draws on for a framework handle: on Windows its native peer, on the
// simulated machine the handle itself.
HWND DrawingWindow(HWND h);

// Notifies the backend that a window's state changed.
void Changed(Window& w, Change what);

// Window operations shared by CWnd and the Win32-shaped functions.
BOOL ShowWindowModel(Window& w, int nCmdShow);
BOOL EnableWindowModel(Window& w, BOOL enable);
BOOL SetWindowPosModel(Window& w, HWND insertAfter, UINT flags);
RECT ClientRect(const Window& w);
// Ends a modal dialog: hidden at once, its loop returns the code (the first EndDialog wakes it).
void EndDialogModel(Window& dialog, INT_PTR code);
// The window menu of a dialog with WS_SYSMENU, and back.
HMENU SystemMenuOf(Window& dialog);
Window* WindowOfMenu(HMENU menu);
UINT EnableMenuItemModel(Window& dialog, UINT item, UINT flags);

// The stack of running modal dialogs; the active one is the innermost that has not ended.
void PushModal(Window* dialog);
void PopModal(Window* dialog);
Window* ActiveDialog();

// Dialog units to pixels for this dialog's font, as MapDialogRect does.
RECT ToPixels(const Window& dialog, const RECT& dluRect);
POINT BaseUnits(const Window& dialog);

// Radio-group helpers: the auto radio buttons of the group of `button` (WS_GROUP starts a
// group, in tab order), visible and enabled; and the group's controls that `keep` keeps.
std::vector<Window*> GroupOf(Window& button);
std::vector<Window*> GroupOf(Window& control, const std::function<bool(const Window&)>& keep);

// A message box through the backend (caption NULL: "Error", as Windows shows it).
int ShowMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
// The text a window shows: a combo box's selected item, an address control's dotted form.
Text WindowText(const Window& w);
// Implemented by the CWnd layer: a message to a window that has a CWnd attached.
LRESULT CallWrapper(Window& w, UINT msg, WPARAM wParam, LPARAM lParam);
// Called when a window goes away, so the CWnd layer can detach its objects.
void WindowDestroyed(Window& w);

// The text of an address control in dotted form ("192.168.1.1", blank fields empty).
Text AddressText(const Window& ip);
bool ParseAddress(const Text& text, std::array<int, 4>& fields);

}  // namespace drovan::ui
