// CDialog: modal dialogs built from their templates.
#include <cstdio>

#include "platform/ui/afxwin.h"
#include "platform/ui/backend.h"
#include "platform/ui/dialog_manager.h"
#include "platform/ui/window.h"

// Dialogs carry the framework's dynamic type information, as derived dialogs do.
IMPLEMENT_DYNAMIC(CDialog, CObject)

using drovan::ui::Window;

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, &CDialog::OnOK)
    ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
    ON_MESSAGE(WM_INITDIALOG, &CDialog::HandleInitDialog)
END_MESSAGE_MAP()

INT_PTR CDialog::DoModal() {
    const drovan::res::DialogTemplate* t =
        IS_INTRESOURCE(m_lpszTemplateName) ? drovan::res::FindDialogTemplate(LOWORD(m_lpszTemplateName)) : nullptr;
    if (!t) {
        std::fprintf(stderr, "DoModal: no dialog template %u\n", static_cast<unsigned>(LOWORD(m_lpszTemplateName)));
        return -1;
    }
    if (!drovan::ui::HasBackend()) {
        std::fprintf(stderr, "DoModal: no dialog backend installed\n");
        return -1;
    }
    if (m_hWnd) return -1;  // already running
    if (!drovan::ui::ActiveDialog()) {
        drovan::ui::SetGuiThreadToCurrent();  // the outermost dialog's thread is the GUI thread
    } else if (!drovan::ui::OnGuiThread()) {
        std::fprintf(stderr, "DoModal: dialogs run on the GUI thread only\n");
        return -1;
    }

    HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (!owner) {
        CWnd* main = AfxGetMainWnd();
        if (main && main != this) owner = main->m_hWnd;
    }
    std::unique_ptr<Window> window = drovan::ui::BuildDialog(*t, owner);
    Window& w = *window;
    w.wrapper = this;
    m_hWnd = w.hwnd;
    auto& backend = drovan::ui::CurrentBackend();
    drovan::ui::PushModal(&w);
    backend.Loop().AddDialog(w);
    // A dialog the system could not make gets -1, as Windows' DoModal returns, and no
    // message; the rest of the teardown is the same.
    const bool created = backend.Create(w);
    INT_PTR result = -1;
    if (created) {
        // TRUE leaves the focus to the dialog manager; FALSE means the dialog has set it.
        if (drovan::ui::Send(w, WM_INITDIALOG, 0, 0) && !w.ended) drovan::ui::SetInitialFocus(w);
        if (!w.ended) {
            w.style |= WS_VISIBLE;
            drovan::ui::Changed(w, drovan::ui::Change::Visible);
            backend.Invalidate(w);
            backend.RunModalLoop(w);
        }
        result = w.endCode;
        drovan::ui::Send(w, WM_DESTROY, 0, 0);
    }

    drovan::ui::PopModal(&w);
    if (created) backend.Destroy(w);
    backend.Loop().RemoveDialog(w);
    drovan::ui::Unregister(&w);
    m_hWnd = nullptr;
    return result;
}

void CDialog::EndDialog(int nResult) {
    if (Window* w = drovan::ui::FromHandle(m_hWnd)) drovan::ui::EndDialogModel(*w, nResult);
}

BOOL CDialog::OnInitDialog() {
    ExecuteDlgInit();
    UpdateData(FALSE);
    return TRUE;
}

BOOL CDialog::ExecuteDlgInit() {
    Window* d = drovan::ui::FromHandle(m_hWnd);
    if (!d || !d->tmpl) return FALSE;
    for (const auto& ct : d->tmpl->controls) {
        if (ct.items.empty()) continue;
        Window* c = d->Child(ct.id);
        if (!c) continue;
        for (LPCWSTR item : ct.items) drovan::ui::Send(*c, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    }
    return TRUE;
}

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM) { return OnInitDialog(); }

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::OnCmdMsg(UINT nID, int nCode, WPARAM wParam, LPARAM lParam) {
    if (CWnd::OnCmdMsg(nID, nCode, wParam, lParam)) return TRUE;
    // Commands (menu and accelerator IDs) that the dialog does not handle go to the
    // application object.
    if (nCode == 0 && nID >= 0x8000 && nID < 0xF000)
        if (CWinApp* app = AfxGetApp()) return app->OnCmdMsg(nID, nCode, wParam, lParam);
    return FALSE;
}
