// What Qt's thread needs of a window to show it: a copy taken on the thread that owns the
// model, so that the widgets never read the model while it changes.
#pragma once

#include <array>
#include <vector>

#include "platform/ui/window.h"

namespace drovan::ui::qt {

struct ControlSnapshot {
    HWND hwnd = nullptr;
    int id = 0;
    WindowKind kind = WindowKind::Static;
    DWORD style = 0, exStyle = 0;
    RECT px{};  // in the dialog's client area
    Text text;
    int check = 0;
    std::vector<Text> items;
    int sel = -1;
    int lo = 0, hi = 100, pos = 0;
    std::array<int, 4> address{-1, -1, -1, -1};
    int imageId = 0;  // the picture's resource ID
};

struct DialogSnapshot {
    HWND hwnd = nullptr;
    HWND owner = nullptr;
    int id = 0;
    DWORD style = 0, exStyle = 0;
    RECT px{};  // position (screen, or the owner's client area) and size of the client area
    Text text;
    Text fontFace;
    int fontPoints = 8;
    POINT baseUnits{};
    bool topmost = false, closeGrayed = false, iconic = false;
    int iconId = 0;
    HWND focus = nullptr;  // the control with the keyboard focus
    std::vector<ControlSnapshot> controls;
};

// A template rectangle (dialog units, right and bottom as x + cx and y + cy) in pixels.
RECT TemplatePixels(const Window& dialog, const RECT& dlu);
ControlSnapshot SnapshotOf(const Window& control);
DialogSnapshot SnapshotOfDialog(const Window& dialog, bool withControls);

}  // namespace drovan::ui::qt
