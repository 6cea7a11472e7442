#include "platform/ui/qt/qt_snapshot.h"

#include "platform/ui/backend.h"

namespace drovan::ui::qt {

RECT TemplatePixels(const Window& dialog, const RECT& dlu) {
    // As the dialog manager creates windows from a template: position and size each
    // scaled on their own, so that equal sizes stay equal wherever they sit.
    POINT b = BaseUnits(dialog);
    int x = MulDiv(dlu.left, b.x, 4), y = MulDiv(dlu.top, b.y, 8);
    return RECT{x, y, x + MulDiv(dlu.right - dlu.left, b.x, 4), y + MulDiv(dlu.bottom - dlu.top, b.y, 8)};
}

ControlSnapshot SnapshotOf(const Window& c) {
    ControlSnapshot s;
    s.hwnd = c.hwnd;
    s.id = c.id;
    s.kind = c.kind;
    s.style = c.style;
    s.exStyle = c.exStyle;
    s.px = c.parent ? TemplatePixels(*c.parent, c.dlu) : c.dlu;
    s.text = c.text;
    s.check = c.check;
    s.items = c.items;
    s.sel = c.sel;
    s.lo = c.lo;
    s.hi = c.hi;
    s.pos = c.pos;
    s.address = c.address;
    s.imageId = ImageResourceId(c.image);
    return s;
}

DialogSnapshot SnapshotOfDialog(const Window& d, bool withControls) {
    DialogSnapshot s;
    s.hwnd = d.hwnd;
    s.owner = d.owner;
    s.id = d.id;
    s.style = d.style;
    s.exStyle = d.exStyle;
    s.px = TemplatePixels(d, d.dlu);
    s.text = d.text;
    if (d.tmpl && d.tmpl->fontFace) {
        s.fontFace = d.tmpl->fontFace;
        s.fontPoints = d.tmpl->fontPoints;
    }
    s.baseUnits = BaseUnits(d);
    s.topmost = d.topmost;
    s.closeGrayed = d.closeGrayed;
    s.iconic = d.iconic;
    s.iconId = ImageResourceId(d.smallIcon ? d.smallIcon : d.bigIcon);
    s.focus = d.focus;
    if (withControls)
        for (auto& c : d.children) s.controls.push_back(SnapshotOf(*c));
    return s;
}

}  // namespace drovan::ui::qt
