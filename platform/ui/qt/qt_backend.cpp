#include "platform/ui/qt/qt_backend.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>
#include <QThread>

#include <algorithm>
#include <memory>

#include "platform/ui/qt/qt_dialog.h"
#include "platform/ui/qt/qt_fonts.h"
#include "platform/ui/qt/qt_message_box.h"
#include "platform/ui/qt/qt_snapshot.h"

namespace drovan::ui::qt {

QtBackend::QtBackend() : m_qtThread(QThread::currentThread()) {
    InstallFontSubstitutes();
    // One look everywhere, close to the Windows dialog's: Fusion on the button-face grey.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette palette = QApplication::style()->standardPalette();
    palette.setColor(QPalette::Window, QColor(0xF0, 0xF0, 0xF0));
    palette.setColor(QPalette::Button, QColor(0xE1, 0xE1, 0xE1));
    QApplication::setPalette(palette);
    // The program ends when its application object is done, not when a window closes.
    QApplication::setQuitOnLastWindowClosed(false);
    // First thing once Qt's loop runs, while the framework's thread is still starting up.
    QMetaObject::invokeMethod(&m_context, [] { WarmUpFonts(); }, Qt::QueuedConnection);
}

QtBackend::~QtBackend() = default;

bool QtBackend::OnQtThread() const { return QThread::currentThread() == m_qtThread; }

void QtBackend::PostToQt(std::function<void()> f) {
    ++m_qtPending;
    QMetaObject::invokeMethod(
        &m_context,
        [this, f = std::move(f)] {
            f();
            --m_qtPending;
        },
        Qt::QueuedConnection);
}

// ---- Dialogs and their widgets ----

bool QtBackend::Create(Window& dialog) {
    auto snapshot = std::make_shared<DialogSnapshot>(SnapshotOfDialog(dialog, true));
    PostToQt([this, snapshot] {
        QWidget* owner = nullptr;
        if (auto it = m_widgets.find(snapshot->owner); it != m_widgets.end()) owner = it->second;
        m_widgets[snapshot->hwnd] = new QtDialog(*this, *snapshot, owner);
    });
    return true;  // made on Qt's thread, which cannot refuse a widget
}

void QtBackend::Destroy(Window& dialog) {
    HWND hwnd = dialog.hwnd;
    PostToQt([this, hwnd] {
        auto it = m_widgets.find(hwnd);
        if (it == m_widgets.end()) return;
        QtDialog* widget = it->second;
        m_widgets.erase(it);
        widget->hide();
        widget->deleteLater();
    });
}

void QtBackend::Update(Window& w, Change what) {
    if (w.kind == WindowKind::Dialog) {
        auto snapshot = std::make_shared<DialogSnapshot>(SnapshotOfDialog(w, false));
        PostToQt([this, snapshot, what] {
            if (QtDialog* d = DialogWidgetOf(snapshot->hwnd)) d->ApplyDialog(*snapshot, what);
        });
        return;
    }
    if (!w.parent) return;
    HWND dialog = w.parent->hwnd;
    auto snapshot = std::make_shared<ControlSnapshot>(SnapshotOf(w));
    PostToQt([this, dialog, snapshot, what] {
        if (QtDialog* d = DialogWidgetOf(dialog)) d->ApplyControl(*snapshot, what);
    });
}

QtDialog* QtBackend::DialogWidgetOf(HWND hwnd) const {
    auto it = m_widgets.find(hwnd);
    return it == m_widgets.end() ? nullptr : it->second;
}

QtDialog* QtBackend::DialogWidget(int templateId) const {
    QtDialog* found = nullptr;
    for (auto& [hwnd, d] : m_widgets)
        if (d->TemplateId() == templateId && (!found || d->Serial() > found->Serial())) found = d;
    return found;
}

void QtBackend::Present(Window& w, const PaintList& ops) {
    Window* d = w.Dialog();
    if (!d) return;
    HWND hwnd = d->hwnd;
    PostToQt([this, hwnd, ops] {
        if (QtDialog* widget = DialogWidgetOf(hwnd)) widget->SetPaint(ops);
    });
}

POINT QtBackend::BaseUnits(const res::DialogTemplate& t) {
    std::pair<Text, int> key{t.fontFace ? Text(t.fontFace) : Text(), t.fontFace ? t.fontPoints : 0};
    {
        std::lock_guard lock(m_unitsMutex);
        if (auto it = m_units.find(key); it != m_units.end()) return it->second;
    }
    POINT units{};
    auto measure = [&] { units = BaseUnitsOf(DialogFont(key.first, key.second ? key.second : 9)); };
    // Fonts are measured where the widgets live; Qt's thread never waits for another.
    if (OnQtThread()) measure();
    else QMetaObject::invokeMethod(&m_context, measure, Qt::BlockingQueuedConnection);
    std::lock_guard lock(m_unitsMutex);
    m_units[key] = units;
    return units;
}

void QtBackend::SetWaitCursor(bool on) {
    if (m_waitCursor.exchange(on) == on) return;
    PostToQt([on] {
        if (on) QApplication::setOverrideCursor(Qt::WaitCursor);
        else QApplication::restoreOverrideCursor();
    });
}

void QtBackend::Beep() {
    ++m_beeps;
    PostToQt([] { QApplication::beep(); });
}

// ---- Message boxes ----

int QtBackend::MessageBox(Window* owner, const Text& text, const Text& caption, UINT type) {
    MessageBoxRequest request;
    request.owner = owner ? owner->hwnd : nullptr;
    request.text = text;
    request.caption = caption;
    request.type = type;
    request.chinese = PRIMARYLANGID(GetUserDefaultUILanguage()) == 0x04;  // Chinese

    if (OnQtThread()) return RunMessageBoxNow(*this, request);
    return Loop().AwaitAnswer([this, request](std::function<void(int)> answered) {
        PostToQt([this, request, answered] { ShowMessageBox(*this, request, answered); });
    });
}

// ---- Waiting for the framework, from Qt's thread ----

bool QtBackend::Settle(int boundMs) {
    QElapsedTimer elapsed;
    elapsed.start();
    int calm = 0;
    while (elapsed.elapsed() < boundMs) {
        QApplication::processEvents(QEventLoop::AllEvents);
        QApplication::sendPostedEvents();
        if (FrameworkIdle() && m_qtPending == 0) {
            // Twice in a row, so that what the last events handed over has been taken up.
            if (++calm >= 3) return true;
        } else {
            calm = 0;
        }
        QThread::usleep(calm ? 200 : 500);
    }
    return false;
}

}  // namespace drovan::ui::qt
