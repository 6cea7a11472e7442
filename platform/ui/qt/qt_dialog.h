// A dialog on Qt's thread: the window and its controls, built from a snapshot of the
// framework's model and kept equal to it; the user's actions go back to the framework as
// tasks on its GUI thread.
#pragma once

#include <QDialog>

#include <map>
#include <optional>
#include <vector>

#include "platform/ui/backend.h"
#include "platform/ui/qt/qt_snapshot.h"

namespace drovan::ui::qt {

class QtBackend;

QString ToQString(const Text& t);
Text FromQString(const QString& s);

class QtDialog : public QDialog {
public:
    QtDialog(QtBackend& backend, const DialogSnapshot& snapshot, QWidget* owner);

    void ApplyDialog(const DialogSnapshot& s, Change what);
    void ApplyControl(const ControlSnapshot& s, Change what);
    void SetPaint(const PaintList& ops);

    int TemplateId() const { return m_id; }
    unsigned Serial() const { return m_serial; }
    HWND Hwnd() const { return m_hwnd; }
    bool IsTopmost() const { return m_topmost; }
    bool CloseGrayed() const { return m_closeGrayed; }
    POINT BaseUnitsPx() const { return m_baseUnits; }
    const PaintList& LastPaint() const { return m_paint; }
    int PaintsReceived() const { return m_paintsReceived; }
    // The widget of a control, by ID (the first, when several share one), made now if it
    // was not yet.
    QWidget* Control(int id);
    // Every control's widget with that ID, in tab order, made now if need be.
    std::vector<QWidget*> Controls(int id);
    // Every control's widget in tab order, made now if need be.
    std::vector<QWidget*> AllControls();
    // The control's template rectangle in pixels of this dialog's base units.
    std::optional<RECT> ControlRect(int id) const;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool focusNextPrevChild(bool next) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    struct Peer {
        HWND hwnd = nullptr;
        int id = 0;
        WindowKind kind = WindowKind::Static;
        DWORD style = 0;
        RECT px{};
        QWidget* widget = nullptr;
        int pendingEdits = 0;  // the user's typing still on its way to the model
        std::optional<ControlSnapshot> deferred;
        std::optional<ControlSnapshot> unbuilt;  // its model, until the widget is made
    };

    QWidget* Build(const ControlSnapshot& s);
    // The peer with its widget made (once), stacked and in the focus chain by tab order.
    Peer& Built(Peer& peer);
    void BuildShownControls();
    void Apply(Peer& peer, const ControlSnapshot& s);
    void ApplyWindowFlags();
    void Place(const DialogSnapshot& s, QWidget* owner);
    void Typed(Peer& peer, const Text& value);
    void Clicked(HWND control);
    void KeyEnter();
    // The model's focus, on the widgets (made now if need be).
    void ApplyFocus();
    // Qt moved the focus (a click, a program's setFocus): the model follows.
    void FocusChanged(QWidget* now);
    Peer* PeerOf(HWND hwnd);

    QtBackend& m_backend;
    HWND m_hwnd;
    int m_id;
    unsigned m_serial;
    DWORD m_style;
    DWORD m_exStyle;
    POINT m_baseUnits;
    bool m_topmost = false;
    bool m_closeGrayed = false;
    HWND m_focus = nullptr;  // the model's focus
    int m_applying = 0;      // a model change is being applied: Qt's own focus moves are not the user's
    std::map<HWND, Peer> m_peers;
    std::vector<HWND> m_order;  // tab order
    PaintList m_paint;
    int m_paintsReceived = 0;
};

}  // namespace drovan::ui::qt
