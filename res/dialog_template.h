// Dialog templates and picture resources as data: the one description of every dialog that
// each dialog backend builds from (real windows from an in-memory DLGTEMPLATEEX, Qt widgets
// laid out in dialog units, or the headless backend's controls in memory).
//
// A template says what a resource script's DIALOGEX statement says: the dialog's style,
// extended style, position and size in dialog units, caption and font, and its controls in
// tab order with ID, kind, style bits, text, rectangle and initial list items (the dialog
// initialisation data of a resource script). Controls are created as child windows, and
// visible unless `hidden` is set (a resource script's NOT WS_VISIBLE).
//
// Templates register themselves by ID when their translation unit is linked into the
// program: see DROVAN_DIALOG_TEMPLATE below, and res/test/test_dialogs.cpp for examples.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/win32.h"

namespace drovan::res {

enum class ControlKind {
    Button,     // "Button": push, default push, check box, radio button, group box (BS_*)
    Edit,       // "Edit" (ES_*)
    Static,     // "Static": text, bitmap or icon (SS_*)
    ComboBox,   // "ComboBox" (CBS_*)
    Progress,   // "msctls_progress32" (PBS_*)
    IpAddress,  // "SysIPAddress32"
};

struct ControlTemplate {
    int id = IDC_STATIC;
    ControlKind kind = ControlKind::Static;
    DWORD style = 0;  // kind's style bits and WS_GROUP, WS_TABSTOP, WS_BORDER, WS_VSCROLL, ...
    LPCWSTR text = nullptr;
    short x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    bool hidden = false;                 // created without WS_VISIBLE
    bool disabled = false;               // created with WS_DISABLED
    DWORD exStyle = 0;
    int image = 0;                       // bitmap (SS_BITMAP) or icon (SS_ICON) resource ID
    std::vector<LPCWSTR> items;          // initial list items, added in this order
};

struct DialogTemplate {
    int id = 0;
    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    LPCWSTR caption = nullptr;
    LPCWSTR fontFace = nullptr;  // with fontPoints: DS_SETFONT
    WORD fontPoints = 8;
    std::vector<ControlTemplate> controls;  // tab order
};

// A bitmap resource: a Windows BMP file's bytes (file header included). The size is read
// from its header.
struct BitmapResource {
    int id = 0;
    const BYTE* bmp = nullptr;
    size_t size = 0;
};

// An icon resource: the sizes it holds; pixels, when a backend draws them, as a .ico file.
struct IconResource {
    int id = 0;
    const BYTE* ico = nullptr;
    size_t size = 0;
};

// Lookup by resource ID; nullptr when the program holds no such resource.
const DialogTemplate* FindDialogTemplate(int id);
const BitmapResource* FindBitmap(int id);
const IconResource* FindIcon(int id);

// Registration, done by the macros below from static initialisers.
bool RegisterDialogTemplate(const DialogTemplate* t);
bool RegisterBitmap(const BitmapResource* b);
bool RegisterIcon(const IconResource* i);

}  // namespace drovan::res

#define DROVAN_RES_CAT2(a, b) a##b
#define DROVAN_RES_CAT(a, b) DROVAN_RES_CAT2(a, b)

// DROVAN_DIALOG_TEMPLATE(name) = { .id = 102, ... };
// defines the template `name` and registers it under its ID at start-up.
#define DROVAN_DIALOG_TEMPLATE(name)                                                   \
    extern const ::drovan::res::DialogTemplate name;                                   \
    [[maybe_unused]] static const bool DROVAN_RES_CAT(name, _registered) =             \
        ::drovan::res::RegisterDialogTemplate(&name);                                  \
    const ::drovan::res::DialogTemplate name

#define DROVAN_BITMAP_RESOURCE(name)                                                   \
    extern const ::drovan::res::BitmapResource name;                                   \
    [[maybe_unused]] static const bool DROVAN_RES_CAT(name, _registered) =             \
        ::drovan::res::RegisterBitmap(&name);                                          \
    const ::drovan::res::BitmapResource name

#define DROVAN_ICON_RESOURCE(name)                                                     \
    extern const ::drovan::res::IconResource name;                                     \
    [[maybe_unused]] static const bool DROVAN_RES_CAT(name, _registered) =             \
        ::drovan::res::RegisterIcon(&name);                                            \
    const ::drovan::res::IconResource name
