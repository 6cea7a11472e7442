#include "platform/ui/win32/dialog_template_ex.h"

#include <cstring>

namespace drovan::ui::win32 {

namespace {

// Appends WORDs to a byte stream that is later padded to DWORDs.
class TemplateWriter {
public:
    void Word(WORD w) { m_words.push_back(w); }
    void Dword(DWORD d) {
        Word(LOWORD(d));
        Word(HIWORD(d));
    }
    void Short(short s) { Word(static_cast<WORD>(s)); }
    void String(const Text& s) {
        for (WCHAR c : s) Word(static_cast<WORD>(c));
        Word(0);
    }
    void AlignDword() {
        if (m_words.size() % 2) Word(0);
    }
    std::vector<DWORD> Take() {
        AlignDword();
        std::vector<DWORD> out(m_words.size() / 2);
        std::memcpy(out.data(), m_words.data(), out.size() * sizeof(DWORD));
        return out;
    }

private:
    std::vector<WORD> m_words;
};

short Dlu(LONG v) { return static_cast<short>(v); }

}  // namespace

LPCWSTR NativeClassOf(WindowKind kind) {
    switch (kind) {
    case WindowKind::Button: return WC_BUTTONW;
    case WindowKind::Edit: return WC_EDITW;
    case WindowKind::ComboBox: return WC_COMBOBOXW;
    case WindowKind::Progress: return PROGRESS_CLASSW;
    case WindowKind::IpAddress: return WC_IPADDRESSW;
    case WindowKind::Static:
    case WindowKind::Dialog: break;
    }
    return WC_STATICW;
}

DWORD NativeStyleOf(const Window& c) {
    DWORD style = c.style | WS_CHILD;
    if (c.kind == WindowKind::Button) {
        DWORD type = c.ButtonType();
        DWORD plain = type;
        if (type == BS_AUTOCHECKBOX) plain = BS_CHECKBOX;
        else if (type == BS_AUTORADIOBUTTON) plain = BS_RADIOBUTTON;
        else if (type == BS_AUTO3STATE) plain = BS_3STATE;
        style = (style & ~static_cast<DWORD>(BS_TYPEMASK)) | plain;
    } else if (c.kind == WindowKind::ComboBox) {
        // Items arrive in the order the framework sorted them into.
        style &= ~static_cast<DWORD>(CBS_SORT);
    }
    return style;
}

std::vector<DWORD> BuildDialogTemplateEx(const Window& d) {
    const res::DialogTemplate* t = d.tmpl;
    TemplateWriter w;
    DWORD style = d.style & ~static_cast<DWORD>(WS_VISIBLE);  // shown when the model says so
    bool font = t && t->fontFace;
    if (font) style |= DS_SETFONT;
    else style &= ~static_cast<DWORD>(DS_SETFONT);
    w.Word(1);       // dlgVer
    w.Word(0xFFFF);  // signature: extended template
    w.Dword(0);      // helpID
    w.Dword(d.exStyle);
    w.Dword(style);
    w.Word(static_cast<WORD>(d.children.size()));
    w.Short(Dlu(d.dlu.left));
    w.Short(Dlu(d.dlu.top));
    w.Short(Dlu(d.dlu.right - d.dlu.left));
    w.Short(Dlu(d.dlu.bottom - d.dlu.top));
    w.Word(0);  // no menu
    w.Word(0);  // the standard dialog class
    w.String(d.text);
    if (font) {
        w.Word(t->fontPoints);
        w.Word(FW_NORMAL);
        w.Word(MAKEWORD(FALSE, DEFAULT_CHARSET));  // italic, charset
        w.String(t->fontFace);
    }
    for (const auto& c : d.children) {
        w.AlignDword();
        w.Dword(0);  // helpID
        w.Dword(c->exStyle);
        w.Dword(NativeStyleOf(*c));
        w.Short(Dlu(c->dlu.left));
        w.Short(Dlu(c->dlu.top));
        w.Short(Dlu(c->dlu.right - c->dlu.left));
        w.Short(Dlu(c->dlu.bottom - c->dlu.top));
        w.Dword(static_cast<DWORD>(c->id));
        w.String(NativeClassOf(c->kind));
        // Pictures, list items and addresses come from the model once the window exists.
        bool textual = c->kind == WindowKind::Button || c->kind == WindowKind::Edit ||
                       (c->kind == WindowKind::Static && (c->style & SS_TYPEMASK) != SS_BITMAP &&
                        (c->style & SS_TYPEMASK) != SS_ICON);
        w.String(textual ? c->text : Text());
        w.Word(0);  // no creation data
    }
    return w.Take();
}

}  // namespace drovan::ui::win32
