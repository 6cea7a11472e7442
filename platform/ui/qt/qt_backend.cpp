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

void QtBackend::PostTask(std::function<void()> task) {
    std::lock_guard lock(sim::clock::Lock());
    Item item;
    item.task = std::move(task);
    m_queue.push_back(std::move(item));
    sim::clock::NotifyAll();
}

// ---- Dialogs and their widgets ----

void QtBackend::Create(Window& dialog) {
    {
        std::lock_guard lock(sim::clock::Lock());
        m_dialogs.push_back(&dialog);
    }
    auto snapshot = std::make_shared<DialogSnapshot>(SnapshotOfDialog(dialog, true));
    PostToQt([this, snapshot] {
        QWidget* owner = nullptr;
        if (auto it = m_widgets.find(snapshot->owner); it != m_widgets.end()) owner = it->second;
        m_widgets[snapshot->hwnd] = new QtDialog(*this, *snapshot, owner);
    });
}

void QtBackend::Destroy(Window& dialog) {
    {
        std::lock_guard lock(sim::clock::Lock());
        m_dialogs.erase(std::remove(m_dialogs.begin(), m_dialogs.end(), &dialog), m_dialogs.end());
        // A window's timers die with it.
        m_timers.erase(std::remove_if(m_timers.begin(), m_timers.end(),
                                      [&](const Timer& t) {
                                          if (t.hwnd == dialog.hwnd) return true;
                                          for (auto& c : dialog.children)
                                              if (t.hwnd == c->hwnd) return true;
                                          return false;
                                      }),
                       m_timers.end());
    }
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

void QtBackend::Invalidate(Window& w) {
    std::lock_guard lock(sim::clock::Lock());
    w.needsPaint = true;
    sim::clock::NotifyAll();
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

    struct Answer {
        int button = 0;
        bool done = false;
    };
    auto answer = std::make_shared<Answer>();
    PostToQt([this, request, answer] {
        ShowMessageBox(*this, request, [answer](int button) {
            std::lock_guard lock(sim::clock::Lock());
            answer->button = button;
            answer->done = true;
            sim::clock::NotifyAll();
        });
    });
    if (OnGuiThread()) {
        // The framework's GUI thread goes on dispatching its messages and timers while
        // the box is up, as a Windows message box's own loop does.
        RunLoop([&] { return answer->done; });
    } else {
        std::unique_lock lock(sim::clock::Lock());
        sim::clock::WaitUntil(lock, sim::clock::kForever, [&] { return answer->done; });
    }
    std::lock_guard lock(sim::clock::Lock());
    return answer->button;
}

// ---- The framework's loop ----

void QtBackend::RunModalLoop(Window& dialog) {
    RunLoop([&] { return dialog.ended; });
}

void QtBackend::EndModal(Window&) {
    std::lock_guard lock(sim::clock::Lock());
    sim::clock::NotifyAll();
}

bool QtBackend::TimerDueLocked(sim::clock::Millis now) const {
    return std::any_of(m_timers.begin(), m_timers.end(), [&](const Timer& t) { return t.due <= now; });
}

std::optional<sim::clock::Millis> QtBackend::NextDueLocked() const {
    std::optional<sim::clock::Millis> next;
    for (const Timer& t : m_timers)
        if (!next || t.due < *next) next = t.due;
    return next;
}

Window* QtBackend::PaintPendingLocked() const {
    for (auto it = m_dialogs.rbegin(); it != m_dialogs.rend(); ++it)
        if ((*it)->needsPaint && (*it)->Visible() && !(*it)->ended) return *it;
    return nullptr;
}

void QtBackend::RunLoop(const std::function<bool()>& done) {
    {
        std::lock_guard lock(sim::clock::Lock());
        ++m_loops;
    }
    for (;;) {
        sim::clock::Millis now = sim::clock::Now();
        std::unique_lock lock(sim::clock::Lock());
        if (done()) break;
        if (!m_queue.empty()) {
            Item item = std::move(m_queue.front());
            m_queue.pop_front();
            lock.unlock();
            Deliver(item);
            continue;
        }
        if (Window* d = PaintPendingLocked()) {
            lock.unlock();
            Send(*d, WM_PAINT, 0, 0);
            d->needsPaint = false;  // a handler that paints nothing still validates
            continue;
        }
        // Windows sends WM_TIMER only when nothing else is waiting, one tick per timer,
        // and counts the next interval from the tick.
        auto due = std::min_element(m_timers.begin(), m_timers.end(),
                                    [](const Timer& a, const Timer& b) { return a.due < b.due; });
        if (due != m_timers.end() && due->due <= now) {
            due->due = now + std::max<UINT>(due->interval, 1);
            HWND hwnd = due->hwnd;
            UINT_PTR id = due->id;
            lock.unlock();
            if (Window* w = FromHandle(hwnd)) Send(*w, WM_TIMER, id, 0);
            continue;
        }
        m_idle = true;
        auto next = NextDueLocked();
        sim::clock::WaitUntil(lock, next ? *next : sim::clock::kForever, [&] {
            return !m_queue.empty() || done() || PaintPendingLocked() != nullptr || NextDueLocked() != next;
        });
        m_idle = false;
    }
    std::lock_guard lock(sim::clock::Lock());
    --m_loops;
}

void QtBackend::Deliver(Item& item) {
    LRESULT result = 0;
    if (item.task) {
        item.task();
    } else if (item.msg != WM_QUIT) {
        if (Window* w = FromHandle(item.hwnd)) result = Send(*w, item.msg, item.wParam, item.lParam);
    }
    if (item.done) {
        std::lock_guard lock(sim::clock::Lock());
        *item.result = result;
        *item.done = true;
        sim::clock::NotifyAll();
    }
}

void QtBackend::Post(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    std::lock_guard lock(sim::clock::Lock());
    Item item;
    item.hwnd = hwnd;
    item.msg = msg;
    item.wParam = wParam;
    item.lParam = lParam;
    m_queue.push_back(std::move(item));
    sim::clock::NotifyAll();
}

bool QtBackend::Peek(MSG& out, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
    std::lock_guard lock(sim::clock::Lock());
    for (auto it = m_queue.begin(); it != m_queue.end(); ++it) {
        if (it->task || it->done) continue;
        if (hwnd && it->hwnd != hwnd) continue;
        if ((filterMin || filterMax) && (it->msg < filterMin || it->msg > filterMax)) continue;
        out = MSG{it->hwnd, it->msg, it->wParam, it->lParam, 0, {0, 0}};
        if (removeFlags & PM_REMOVE) m_queue.erase(it);
        return true;
    }
    return false;
}

LRESULT QtBackend::SendFromOtherThread(Window& w, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    bool done = false;
    std::unique_lock lock(sim::clock::Lock());
    Item item;
    item.hwnd = w.hwnd;
    item.msg = msg;
    item.wParam = wParam;
    item.lParam = lParam;
    item.result = &result;
    item.done = &done;
    m_queue.push_back(std::move(item));
    sim::clock::NotifyAll();
    sim::clock::WaitUntil(lock, sim::clock::kForever, [&] { return done; });
    return result;
}

void QtBackend::SetTimer(Window& w, UINT_PTR id, UINT elapseMs) {
    sim::clock::Millis now = sim::clock::Now();
    std::lock_guard lock(sim::clock::Lock());
    auto it = std::find_if(m_timers.begin(), m_timers.end(), [&](const Timer& t) { return t.hwnd == w.hwnd && t.id == id; });
    Timer t{w.hwnd, id, elapseMs, now + std::max<UINT>(elapseMs, 1)};
    if (it != m_timers.end()) *it = t;
    else m_timers.push_back(t);
    sim::clock::NotifyAll();
}

bool QtBackend::KillTimer(Window& w, UINT_PTR id) {
    std::lock_guard lock(sim::clock::Lock());
    auto it = std::find_if(m_timers.begin(), m_timers.end(), [&](const Timer& t) { return t.hwnd == w.hwnd && t.id == id; });
    if (it == m_timers.end()) return false;
    m_timers.erase(it);
    sim::clock::NotifyAll();
    return true;
}

// ---- Waiting for the framework, from Qt's thread ----

bool QtBackend::FrameworkIdle() {
    sim::clock::Millis now = sim::clock::Now();
    std::lock_guard lock(sim::clock::Lock());
    return m_loops > 0 && m_idle && m_queue.empty() && !PaintPendingLocked() && !TimerDueLocked(now);
}

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
