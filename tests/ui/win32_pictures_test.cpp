// The program's pictures on real windows: its own dialog templates and resource script on the
// Win32 backend, run under Wine on a virtual screen by scripts/wine-wizard.sh (or on Windows).
// Every picture control of every dialog holds its bitmap at the bitmap's own size, is shown
// exactly when the framework's model shows it, and a shown one has the bitmap's pixels on the
// screen.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "res/dialog_template.h"
#include "res/resource.h"
#include "win32_fixture.h"

using namespace drovan::ui;

namespace {

// A dialog that runs `look` from its loop once it is up, then ends.
class CLookDlg : public CDialog {
public:
    CLookDlg(UINT id, win32::Win32Backend& backend, std::function<void(CLookDlg&)> look)
        : CDialog(id), m_backend(backend), m_look(std::move(look)) {}

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_backend.Loop().PostTask([this] {
            m_look(*this);
            EndDialog(IDOK);
        });
        return TRUE;
    }

private:
    win32::Win32Backend& m_backend;
    std::function<void(CLookDlg&)> m_look;
};

// A 24-bit BMP file as the resource lookup gives it: its size and its pixels, top row first.
struct Bmp {
    int width = 0, height = 0;
    const BYTE* bits = nullptr;  // bottom-up rows, padded to 4 bytes
    bool Read(const drovan::res::BitmapResource& r) {
        if (r.size < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) return false;
        BITMAPFILEHEADER file;
        BITMAPINFOHEADER info;
        std::memcpy(&file, r.bmp, sizeof file);
        std::memcpy(&info, r.bmp + sizeof file, sizeof info);
        if (info.biBitCount != 24 || info.biCompression != BI_RGB || info.biHeight <= 0) return false;
        width = info.biWidth;
        height = info.biHeight;
        bits = r.bmp + file.bfOffBits;
        return file.bfOffBits + static_cast<size_t>(Stride()) * height <= r.size;
    }
    int Stride() const { return (width * 3 + 3) & ~3; }
    COLORREF At(int x, int y) const {
        const BYTE* p = bits + static_cast<size_t>(height - 1 - y) * Stride() + x * 3;
        return RGB(p[2], p[1], p[0]);
    }
};

// Colours as a screen of fewer bits per pixel may round them.
bool Near(COLORREF a, COLORREF b, int tolerance = 8) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

std::string Hex(COLORREF c) {
    char s[16];
    std::snprintf(s, sizeof s, "#%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
    return s;
}

class Win32Pictures : public Win32BackendTest {
protected:
    // Looks at every picture control of the dialog; counts them into m_pictures, m_shown.
    void LookAtPictures(CLookDlg& dlg, const drovan::res::DialogTemplate& t);

    int m_pictures = 0;
    int m_shown = 0;
};

void Win32Pictures::LookAtPictures(CLookDlg& dlg, const drovan::res::DialogTemplate& t) {
    Window& model = *FromHandle(dlg.m_hWnd);
    HWND native = static_cast<HWND>(model.peer);
    ASSERT_NE(native, nullptr) << "dialog " << t.id << " has no native window";
    RedrawWindow(native, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    // The template's controls are the native dialog's children in creation order.
    HWND child = GetWindow(native, GW_CHILD);
    for (size_t i = 0; i < t.controls.size(); ++i, child = child ? GetWindow(child, GW_HWNDNEXT) : nullptr) {
        const auto& ct = t.controls[i];
        DWORD type = ct.style & SS_TYPEMASK;
        if (ct.kind != drovan::res::ControlKind::Static || type != SS_BITMAP || !ct.image) continue;
        const std::string what = "dialog " + std::to_string(t.id) + ", bitmap " + std::to_string(ct.image);
        ++m_pictures;
        ASSERT_NE(child, nullptr) << what << ": no native control";
        WCHAR cls[32] = {};
        GetClassNameW(child, cls, 32);
        EXPECT_EQ(_wcsicmp(cls, L"Static"), 0) << what;
        EXPECT_EQ(GetDlgCtrlID(child), ct.id) << what;
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE)) & SS_TYPEMASK, static_cast<DWORD>(SS_BITMAP))
            << what;

        const drovan::res::BitmapResource* resource = drovan::res::FindBitmap(ct.image);
        ASSERT_NE(resource, nullptr) << what << ": not in the program's resources";
        Bmp bmp;
        ASSERT_TRUE(bmp.Read(*resource)) << what << ": not a 24-bit BMP";

        // The control holds a bitmap of the picture's own size.
        auto held = reinterpret_cast<HBITMAP>(SendMessageW(child, STM_GETIMAGE, IMAGE_BITMAP, 0));
        ASSERT_NE(held, nullptr) << what << ": the control holds no bitmap";
        BITMAP bm{};
        ASSERT_EQ(GetObjectW(held, sizeof bm, &bm), static_cast<int>(sizeof bm)) << what;
        EXPECT_EQ(bm.bmWidth, bmp.width) << what;
        EXPECT_EQ(bm.bmHeight, bmp.height) << what;

        // Shown exactly when the model shows it.
        Window* control = model.children[i].get();
        bool shown = (GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE) != 0;
        EXPECT_EQ(shown, control->Visible()) << what;
        if (!shown) continue;
        ++m_shown;

        // On the screen: the control takes the picture's size and shows its pixels.
        RECT client{};
        GetClientRect(child, &client);
        EXPECT_EQ(client.right, bmp.width) << what;
        EXPECT_EQ(client.bottom, bmp.height) << what;
        HDC dc = GetDC(child);
        const COLORREF face = GetSysColor(COLOR_BTNFACE);
        int differing = 0, unlike = 0;
        std::string firstUnlike;
        for (int gy = 1; gy < 8; ++gy) {
            for (int gx = 1; gx < 8; ++gx) {
                int x = bmp.width * gx / 8, y = bmp.height * gy / 8;
                COLORREF want = bmp.At(x, y), got = GetPixel(dc, x, y);
                if (!Near(want, face, 24)) ++differing;
                if (!Near(want, got) && ++unlike == 1)
                    firstUnlike = "(" + std::to_string(x) + "," + std::to_string(y) + ") is " + Hex(got) + ", the picture's " + Hex(want);
            }
        }
        ReleaseDC(child, dc);
        EXPECT_GT(differing, 0) << what << ": the samples cannot tell the picture from the dialog's face";
        EXPECT_EQ(unlike, 0) << what << ": " << unlike << " of 49 samples differ, first " << firstUnlike;
    }
}

TEST_F(Win32Pictures, EveryPictureHoldsItsBitmapAndAShownOneIsOnTheScreen) {
    for (int id : {IDD_DROVAN_DIALOG, IDD_DRIVERINFO_DIALOG, IDD_ADDPORT_DIALOG, IDD_USEROPTION_DIALOG}) {
        const drovan::res::DialogTemplate* t = drovan::res::FindDialogTemplate(id);
        ASSERT_NE(t, nullptr) << id;
        // Closing a window takes Wine about two seconds on a screen with no window manager:
        // only the dialogs with pictures are shown.
        if (std::none_of(t->controls.begin(), t->controls.end(), [](const auto& c) { return c.image != 0; }))
            continue;
        CLookDlg dlg(static_cast<UINT>(id), backend, [&](CLookDlg& d) { LookAtPictures(d, *t); });
        EXPECT_EQ(dlg.DoModal(), IDOK) << id;
    }
    // The wizard's side picture (created hidden, never shown) and the installed-driver
    // dialog's picture (shown).
    EXPECT_EQ(m_pictures, 2);
    EXPECT_EQ(m_shown, 1);
}

}  // namespace
