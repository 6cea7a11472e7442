#include "platform/ui/qt/qt_snapshot.h"

#include "platform/ui/backend.h"

namespace drovan::ui::qt {

ControlSnapshot SnapshotOf(const Window& c) {
    ControlSnapshot s;
    s.hwnd = c.hwnd;
    s.id = c.id;
    s.kind = c.kind;
    s.style = c.style;
    s.exStyle = c.exStyle;
    s.px = c.parent ? ToPixels(*c.parent, c.dlu) : c.dlu;
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
    s.px = ToPixels(d, d.dlu);
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
    if (withControls)
        for (auto& c : d.children) s.controls.push_back(SnapshotOf(*c));
    return s;
}

}  // namespace drovan::ui::qt
