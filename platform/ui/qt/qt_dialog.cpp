#include "platform/ui/qt/qt_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/ui/dialog_manager.h"
#include "platform/ui/qt/qt_backend.h"
#include "platform/ui/qt/qt_controls.h"
#include "platform/ui/qt/qt_fonts.h"
#include "platform/ui/qt/qt_resources.h"

namespace drovan::ui::qt {

QString ToQString(const Text& t) { return QString::fromUtf16(t.data(), static_cast<qsizetype>(t.size())); }

Text FromQString(const QString& s) {
    return Text(reinterpret_cast<const WCHAR*>(s.utf16()), static_cast<size_t>(s.size()));
}

namespace {

unsigned g_serial = 0;

// For the start-up benchmark (bench/qt): with DROVAN_EXIT_AFTER_FIRST_PAINT=1 the program
// ends once the first dialog has painted, printing the monotonic time and its peak RSS. The
// report is queued so that it runs after the whole paint pass, the controls' included.
void ExitAfterFirstPaintIfAsked(const QWidget& dialog) {
    static const bool asked = [] {
        const char* v = std::getenv("DROVAN_EXIT_AFTER_FIRST_PAINT");
        return v && std::strcmp(v, "1") == 0;
    }();
    static bool queued = false;
    if (!asked || queued) return;
    queued = true;
    QSize size = dialog.size();
    QMetaObject::invokeMethod(
        qApp,
        [size] {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            rusage usage{};
            getrusage(RUSAGE_SELF, &usage);
            std::printf("first-paint monotonic_ns=%lld peak_rss_kb=%ld width=%d height=%d\n",
                        static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec, usage.ru_maxrss,
                        size.width(), size.height());
            std::fflush(stdout);
            std::_Exit(0);
        },
        Qt::QueuedConnection);
}

QRect ToQRect(const RECT& r) { return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }

// A static text's '&' marks a mnemonic unless SS_NOPREFIX: shown without it, "&&" as '&'.
QString StaticText(const Text& t, DWORD style) {
    QString s = ToQString(t);
    return (style & SS_NOPREFIX) ? s : MnemonicsShown(s);
}

// An edit control shows CR LF as a line break; Qt's editor wants LF.
QString EditText(const Text& t) { return ToQString(t).replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }
Text EditTextBack(const QString& s) {
    QString t = s;
    return FromQString(t.replace(QLatin1Char('\n'), QStringLiteral("\r\n")));
}

bool IsCheckBox(DWORD type) {
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
}
bool IsRadio(DWORD type) { return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON; }

}  // namespace

QtDialog::QtDialog(QtBackend& backend, const DialogSnapshot& s, QWidget* owner)
    : QDialog(owner), m_backend(backend), m_hwnd(s.hwnd), m_id(s.id), m_serial(++g_serial), m_style(s.style), m_exStyle(s.exStyle),
      m_baseUnits(s.baseUnits), m_topmost(s.topmost), m_closeGrayed(s.closeGrayed), m_focus(s.focus) {
    setObjectName(QStringLiteral("dialog%1").arg(s.id));
    setFont(DialogFont(s.fontFace, s.fontFace.empty() ? 9 : s.fontPoints));
    setWindowTitle(ToQString(s.text));
    setWindowModality(Qt::ApplicationModal);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFixedSize(s.px.right - s.px.left, s.px.bottom - s.px.top);
    setSizeGripEnabled(false);
    if (s.iconId) setWindowIcon(IconOf(s.iconId));
    ApplyWindowFlags();
    // A control's widget is made when it is first shown: a wizard's template holds every
    // page's controls, and those of pages never visited then cost neither time nor memory.
    for (const ControlSnapshot& c : s.controls) {
        Peer peer;
        peer.hwnd = c.hwnd;
        peer.id = c.id;
        peer.kind = c.kind;
        peer.style = c.style;
        peer.px = c.px;
        peer.unbuilt = c;
        m_order.push_back(c.hwnd);
        m_peers[c.hwnd] = std::move(peer);
    }
    Place(s, owner);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { FocusChanged(now); });
    if (s.style & WS_VISIBLE) {
        BuildShownControls();
        show();
    }
}

QtDialog::Peer& QtDialog::Built(Peer& peer) {
    if (peer.widget || !peer.unbuilt) return peer;
    ControlSnapshot s = std::move(*peer.unbuilt);
    peer.unbuilt.reset();
    QWidget* w = Build(s);
    w->setProperty("drovanId", s.id);
    peer.widget = w;
    // Windows stacks a dialog's controls in tab order, the first on top, and tabs through
    // them in that order: the new widget goes just under the control before it and just
    // after it in the focus chain.
    auto at = std::find(m_order.begin(), m_order.end(), peer.hwnd);
    QWidget* before = nullptr;
    for (auto it = at; it != m_order.begin();)
        if (QWidget* b = m_peers[*--it].widget) {
            before = b;
            break;
        }
    if (before) w->stackUnder(before);
    else w->raise();
    // Qt moves only the second widget of a pair and passes over widgets that take no
    // focus, so the chain of those that do is laid again from the front.
    QWidget* previous = nullptr;
    for (HWND h : m_order) {
        QWidget* next = m_peers[h].widget;
        if (!next || next->focusPolicy() == Qt::NoFocus) continue;
        if (previous) QWidget::setTabOrder(previous, next);
        previous = next;
    }
    // Keys the dialog manager takes before the control: arrows on buttons, and Enter in a
    // multi-line edit without ES_WANTRETURN.
    if (qobject_cast<QAbstractButton*>(w) || (qobject_cast<QPlainTextEdit*>(w) && !(s.style & ES_WANTRETURN)))
        w->installEventFilter(this);
    Apply(peer, s);
    return peer;
}

void QtDialog::BuildShownControls() {
    for (HWND h : m_order) {
        Peer& peer = m_peers[h];
        if (peer.unbuilt && (peer.unbuilt->style & WS_VISIBLE)) Built(peer);
    }
}

void QtDialog::Place(const DialogSnapshot& s, QWidget* owner) {
    QPoint at(s.px.left, s.px.top);
    if (s.style & DS_CENTER) {
        QRect area = owner ? owner->geometry() : QGuiApplication::primaryScreen()->availableGeometry();
        at = area.center() - QPoint(width() / 2, height() / 2);
    } else if (owner) {
        // A dialog's position counts from its owner's client area.
        at += owner->mapToGlobal(QPoint(0, 0));
    }
    move(at);
}

void QtDialog::ApplyWindowFlags() {
    // A tool window: the utility window of the desktop, with no taskbar entry of its own.
    Qt::WindowFlags flags = ((m_exStyle & WS_EX_TOOLWINDOW) ? Qt::Tool : Qt::Dialog) | Qt::CustomizeWindowHint |
                            Qt::WindowTitleHint;
    if (m_style & WS_SYSMENU) {
        flags |= Qt::WindowSystemMenuHint;
        // A greyed Close item greys the close box too.
        if (!m_closeGrayed) flags |= Qt::WindowCloseButtonHint;
    }
    if (m_style & WS_MINIMIZEBOX) flags |= Qt::WindowMinimizeButtonHint;
    if (m_topmost) flags |= Qt::WindowStaysOnTopHint;
    if (flags == windowFlags()) return;
    bool shown = isVisible();
    setWindowFlags(flags);
    if (shown) show();  // Qt hides a window whose flags change
}

QWidget* QtDialog::Build(const ControlSnapshot& c) {
    HWND h = c.hwnd;
    QRect geometry = ToQRect(c.px);
    QWidget* w = nullptr;
    switch (c.kind) {
    case WindowKind::Button: {
        DWORD type = c.style & BS_TYPEMASK;
        if (type == BS_GROUPBOX) {
            w = new GroupFrame(this);
        } else if (IsCheckBox(type)) {
            auto* b = new ModelCheckBox(this);
            b->setTristate(type == BS_3STATE || type == BS_AUTO3STATE);
            connect(b, &QAbstractButton::clicked, this, [this, h] { Clicked(h); });
            w = b;
        } else if (IsRadio(type)) {
            auto* b = new ModelRadioButton(this);
            connect(b, &QAbstractButton::clicked, this, [this, h] { Clicked(h); });
            w = b;
        } else {
            auto* b = new QPushButton(this);
            b->setAutoDefault(false);
            connect(b, &QAbstractButton::clicked, this, [this, h] { Clicked(h); });
            w = b;
        }
        break;
    }
    case WindowKind::Edit:
        if (c.style & ES_MULTILINE) {
            auto* e = new QPlainTextEdit(this);
            e->setVerticalScrollBarPolicy((c.style & WS_VSCROLL) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
            e->setHorizontalScrollBarPolicy((c.style & WS_HSCROLL) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
            // A horizontal scroll bar or ES_AUTOHSCROLL: lines run on instead of wrapping.
            e->setLineWrapMode((c.style & (WS_HSCROLL | ES_AUTOHSCROLL)) ? QPlainTextEdit::NoWrap
                                                                        : QPlainTextEdit::WidgetWidth);
            e->setFrameStyle((c.style & WS_BORDER) || (c.exStyle & WS_EX_CLIENTEDGE) ? QFrame::StyledPanel | QFrame::Sunken
                                                                                    : QFrame::NoFrame);
            e->document()->setDocumentMargin(1);
            e->setTabChangesFocus(true);  // Tab is the dialog manager's, as in a dialog's edit
            connect(e, &QPlainTextEdit::textChanged, this, [this, h, e] {
                if (e->property("drovanApplying").toBool()) return;
                if (Peer* p = PeerOf(h)) Typed(*p, EditTextBack(e->toPlainText()));
            });
            w = e;
        } else {
            auto* e = new QLineEdit(this);
            e->setFrame((c.style & WS_BORDER) || (c.exStyle & WS_EX_CLIENTEDGE));
            e->setTextMargins(0, 0, 0, 0);
            if (c.style & ES_PASSWORD) e->setEchoMode(QLineEdit::Password);
            connect(e, &QLineEdit::textEdited, this, [this, h](const QString& t) {
                if (Peer* p = PeerOf(h)) Typed(*p, FromQString(t));
            });
            w = e;
        }
        break;
    case WindowKind::Static: {
        DWORD type = c.style & SS_TYPEMASK;
        if (type == SS_BITMAP || type == SS_ICON) {
            w = new PictureStatic(this);
        } else {
            auto* l = new QLabel(this);
            l->setContentsMargins(0, 0, 0, 0);
            l->setIndent(0);
            l->setTextFormat(Qt::PlainText);
            l->setWordWrap(type != SS_LEFTNOWORDWRAP && type != SS_SIMPLE);
            Qt::Alignment a = Qt::AlignTop;
            a |= type == SS_CENTER ? Qt::AlignHCenter : type == SS_RIGHT ? Qt::AlignRight : Qt::AlignLeft;
            if (c.style & SS_CENTERIMAGE) a = (a & ~Qt::AlignTop) | Qt::AlignVCenter;
            l->setAlignment(a);
            w = l;
        }
        break;
    }
    case WindowKind::ComboBox: {
        auto* cb = new QComboBox(this);
        cb->setEditable(false);
        connect(cb, qOverload<int>(&QComboBox::activated), this, [this, h](int index) {
            m_backend.PostTask([h, index] {
                if (Window* win = FromHandle(h)) UserSelected(*win, index);
            });
        });
        // A template's combo box height includes its dropped list; the closed box is one
        // text line high, as Windows sizes it from the font.
        int closed = std::min(geometry.height(), m_baseUnits.y + 8);
        int list = geometry.height() - closed;
        cb->setMaxVisibleItems(std::max(1, list / std::max(1, m_baseUnits.y + 2)));
        geometry.setHeight(closed);
        w = cb;
        break;
    }
    case WindowKind::Progress: {
        auto* p = new QProgressBar(this);
        p->setTextVisible(false);
        w = p;
        break;
    }
    case WindowKind::IpAddress: {
        auto* a = new AddressEdit(this);
        a->edited = [this, h](const QString& dotted) {
            if (Peer* p = PeerOf(h)) Typed(*p, FromQString(dotted));
        };
        w = a;
        break;
    }
    case WindowKind::Dialog:
        w = new QWidget(this);
        break;
    }
    // Buttons and static texts paint their own background, as Windows' do, so that a group
    // box's line never runs through a radio button's caption that sits on it.
    if (qobject_cast<QAbstractButton*>(w) && !qobject_cast<QPushButton*>(w)) w->setAutoFillBackground(true);
    if (qobject_cast<QLabel*>(w)) w->setAutoFillBackground(true);
    w->setGeometry(geometry);
    return w;
}

void QtDialog::Apply(Peer& peer, const ControlSnapshot& s) {
    peer.style = s.style;
    if (!peer.widget) {
        // Not made yet: kept for when it is, which is now if the control shows on a
        // dialog that shows.
        peer.unbuilt = s;
        if (!(s.style & WS_VISIBLE) || !isVisible()) return;
        Built(peer);
        return;
    }
    QWidget* w = peer.widget;
    bool visible = (s.style & WS_VISIBLE) != 0;
    bool enabled = (s.style & WS_DISABLED) == 0;
    bool textPending = peer.pendingEdits > 0;
    if (textPending) peer.deferred = s;
    switch (s.kind) {
    case WindowKind::Button: {
        DWORD type = s.style & BS_TYPEMASK;
        if (auto* g = dynamic_cast<GroupFrame*>(w)) {
            g->SetCaption(ToQString(s.text));
        } else if (auto* b = dynamic_cast<QAbstractButton*>(w)) {
            QSignalBlocker block(b);
            b->setText(ToQString(s.text));
            if (auto* check = dynamic_cast<QCheckBox*>(b)) {
                check->setCheckState(s.check == BST_CHECKED         ? Qt::Checked
                                     : s.check == BST_INDETERMINATE ? Qt::PartiallyChecked
                                                                    : Qt::Unchecked);
            } else if (auto* radio = dynamic_cast<QRadioButton*>(b)) {
                radio->setChecked(s.check == BST_CHECKED);
            } else if (auto* push = dynamic_cast<QPushButton*>(b)) {
                push->setDefault(type == BS_DEFPUSHBUTTON);
            }
        }
        break;
    }
    case WindowKind::Edit:
        if (textPending) break;
        if (auto* e = dynamic_cast<QPlainTextEdit*>(w)) {
            QString t = EditText(s.text);
            if (e->toPlainText() != t) {
                e->setProperty("drovanApplying", true);
                e->setPlainText(t);
                e->setProperty("drovanApplying", false);
            }
            e->setReadOnly((s.style & ES_READONLY) != 0);
        } else if (auto* l = dynamic_cast<QLineEdit*>(w)) {
            QString t = ToQString(s.text);
            if (l->text() != t) l->setText(t);
            l->setReadOnly((s.style & ES_READONLY) != 0);
        }
        break;
    case WindowKind::Static:
        if (auto* l = dynamic_cast<QLabel*>(w)) l->setText(StaticText(s.text, s.style));
        else if (auto* p = dynamic_cast<PictureStatic*>(w)) {
            if ((s.style & SS_TYPEMASK) == SS_ICON) {
                QIcon icon = IconOf(s.imageId);
                p->SetImage(icon.isNull() ? QImage() : icon.pixmap(32, 32).toImage());
            } else {
                p->SetImage(BitmapImage(s.imageId));
            }
        }
        break;
    case WindowKind::ComboBox:
        if (auto* cb = dynamic_cast<QComboBox*>(w)) {
            QSignalBlocker block(cb);
            bool same = cb->count() == static_cast<int>(s.items.size());
            for (int i = 0; same && i < cb->count(); ++i) same = cb->itemText(i) == ToQString(s.items[static_cast<size_t>(i)]);
            if (!same) {
                cb->clear();
                for (const Text& item : s.items) cb->addItem(ToQString(item));
            }
            cb->setCurrentIndex(s.sel >= 0 && s.sel < cb->count() ? s.sel : -1);
        }
        break;
    case WindowKind::Progress:
        if (auto* p = dynamic_cast<QProgressBar*>(w)) {
            p->setRange(std::min(s.lo, s.hi), std::max(s.lo, s.hi));
            p->setValue(s.pos);
        }
        break;
    case WindowKind::IpAddress:
        if (textPending) break;
        if (auto* a = dynamic_cast<AddressEdit*>(w)) a->SetFields(s.address);
        break;
    case WindowKind::Dialog:
        break;
    }
    if (w->isEnabled() != enabled) w->setEnabled(enabled);
    if (w->isVisibleTo(this) != visible) w->setVisible(visible);
}

void QtDialog::ApplyControl(const ControlSnapshot& s, Change) {
    ++m_applying;
    if (Peer* p = PeerOf(s.hwnd)) Apply(*p, s);
    --m_applying;
    ApplyFocus();  // Qt moves the focus off a control it disables or hides as it likes
}

void QtDialog::ApplyDialog(const DialogSnapshot& s, Change what) {
    ++m_applying;
    m_style = s.style;
    m_focus = s.focus;
    setWindowTitle(ToQString(s.text));
    if (s.iconId && what == Change::Icon) setWindowIcon(IconOf(s.iconId));
    if (m_topmost != s.topmost || m_closeGrayed != s.closeGrayed) {
        m_topmost = s.topmost;
        m_closeGrayed = s.closeGrayed;
        ApplyWindowFlags();
    }
    bool visible = (s.style & WS_VISIBLE) != 0;
    if (visible && s.iconic && !isMinimized()) showMinimized();
    else if (visible && !s.iconic && isMinimized()) showNormal();
    if (visible != isVisible()) {
        if (visible) BuildShownControls();
        setVisible(visible);
        if (visible) {
            raise();
            activateWindow();
        }
    }
    --m_applying;
    ApplyFocus();
}

void QtDialog::ApplyFocus() {
    QWidget* target = nullptr;
    if (Peer* p = PeerOf(m_focus)) target = Built(*p).widget;
    QWidget* current = focusWidget();
    if (target ? (current == target || target->isAncestorOf(current)) : !current) return;
    ++m_applying;
    if (target) target->setFocus(Qt::OtherFocusReason);
    else current->clearFocus();
    --m_applying;
}

void QtDialog::FocusChanged(QWidget* now) {
    if (m_applying) return;
    for (QWidget* w = now; w && w != this && !w->isWindow(); w = w->parentWidget()) {
        for (auto& [hwnd, peer] : m_peers) {
            if (peer.widget != w) continue;
            HWND h = hwnd;
            m_backend.PostTask([h] {
                if (Window* c = FromHandle(h)) UserFocused(*c);
            });
            return;
        }
    }
}

bool QtDialog::focusNextPrevChild(bool next) {
    // Qt's own move off a control that a model change disables or hides: the model's focus
    // is applied right after.
    if (m_applying) return QDialog::focusNextPrevChild(next);
    HWND h = m_hwnd;
    m_backend.PostTask([h, next] {
        if (Window* w = FromHandle(h)) UserKeyTab(*w, next);
    });
    return true;
}

void QtDialog::SetPaint(const PaintList& ops) {
    m_paint = ops;
    ++m_paintsReceived;
    update();
}

QtDialog::Peer* QtDialog::PeerOf(HWND hwnd) {
    auto it = m_peers.find(hwnd);
    return it == m_peers.end() ? nullptr : &it->second;
}

QWidget* QtDialog::Control(int id) {
    for (HWND h : m_order)
        if (Peer& peer = m_peers[h]; peer.id == id) return Built(peer).widget;
    return nullptr;
}

std::vector<QWidget*> QtDialog::AllControls() {
    std::vector<QWidget*> all;
    for (HWND h : m_order) all.push_back(Built(m_peers[h]).widget);
    return all;
}

std::vector<QWidget*> QtDialog::Controls(int id) {
    std::vector<QWidget*> found;
    for (HWND h : m_order)
        if (Peer& peer = m_peers[h]; peer.id == id) found.push_back(Built(peer).widget);
    return found;
}

std::optional<RECT> QtDialog::ControlRect(int id) const {
    for (HWND h : m_order)
        if (auto it = m_peers.find(h); it != m_peers.end() && it->second.id == id) return it->second.px;
    return std::nullopt;
}

void QtDialog::Clicked(HWND control) {
    m_backend.PostTask([control] {
        if (Window* w = FromHandle(control)) UserClicked(*w);
    });
}

void QtDialog::Typed(Peer& peer, const Text& value) {
    // Until the model has taken this text, its older texts coming back must not undo what
    // the user is typing; the last one that arrived meanwhile is applied afterwards.
    ++peer.pendingEdits;
    HWND control = peer.hwnd, dialog = m_hwnd;
    QtBackend* backend = &m_backend;
    m_backend.PostTask([backend, control, dialog, value] {
        if (Window* w = FromHandle(control)) UserTyped(*w, value);
        backend->PostToQt([backend, control, dialog] {
            QtDialog* d = backend->DialogWidgetOf(dialog);
            Peer* p = d ? d->PeerOf(control) : nullptr;
            if (!p || --p->pendingEdits > 0) return;
            if (auto deferred = std::move(p->deferred)) {
                p->deferred.reset();
                d->Apply(*p, *deferred);
            }
        });
    });
}

void QtDialog::KeyEnter() {
    HWND h = m_hwnd;
    m_backend.PostTask([h] {
        if (Window* w = FromHandle(h)) UserKeyEnter(*w);
    });
}

bool QtDialog::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, e);
    auto* key = static_cast<QKeyEvent*>(e);
    auto* w = qobject_cast<QWidget*>(watched);
    HWND h = nullptr;
    for (auto& [hwnd, peer] : m_peers)
        if (peer.widget == w) h = hwnd;
    if (!h) return QDialog::eventFilter(watched, e);
    if (auto* edit = qobject_cast<QPlainTextEdit*>(w)) {
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
        // Without ES_WANTRETURN Enter is the dialog's, and Ctrl+Enter starts a new line.
        if (key->modifiers() & Qt::ControlModifier) {
            if (!edit->isReadOnly()) edit->insertPlainText(QStringLiteral("\n"));
        } else {
            KeyEnter();
        }
        return true;
    }
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) return false;
    bool forward = key->key() == Qt::Key_Down || key->key() == Qt::Key_Right;
    if (!forward && key->key() != Qt::Key_Up && key->key() != Qt::Key_Left) return false;
    // The arrows on a button move the focus through its WS_GROUP group.
    m_backend.PostTask([h, forward] {
        if (Window* control = FromHandle(h)) UserKeyArrow(*control, forward);
    });
    return true;
}

void QtDialog::keyPressEvent(QKeyEvent* e) {
    HWND h = m_hwnd;
    switch (e->key()) {
    case Qt::Key_Escape:
        m_backend.PostTask([h] {
            if (Window* w = FromHandle(h)) UserKeyEscape(*w);
        });
        e->accept();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        KeyEnter();
        e->accept();
        return;
    default:
        QWidget::keyPressEvent(e);
    }
}

void QtDialog::closeEvent(QCloseEvent* e) {
    // The close box is the window menu's Close: the framework decides.
    e->ignore();
    HWND h = m_hwnd;
    m_backend.PostTask([h] {
        if (Window* w = FromHandle(h)) UserClose(*w);
    });
}

void QtDialog::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return QDialog::mousePressEvent(e);
    QPoint p = e->position().toPoint();
    m_backend.Post(m_hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x(), p.y()));
}

void QtDialog::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return QDialog::mouseReleaseEvent(e);
    QPoint p = e->position().toPoint();
    m_backend.Post(m_hwnd, WM_LBUTTONUP, 0, MAKELPARAM(p.x(), p.y()));
}

void QtDialog::paintEvent(QPaintEvent* e) {
    ExitAfterFirstPaintIfAsked(*this);
    QDialog::paintEvent(e);
    if (m_paint.empty()) return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const PaintOp& op : m_paint) {
        QRect dst = ToQRect(op.dst);
        switch (op.kind) {
        case PaintOp::StretchBlt:
        case PaintOp::BitBlt: {
            const QImage& image = BitmapImage(op.bitmapId);
            if (image.isNull()) break;
            QRect src = op.kind == PaintOp::BitBlt ? QRect(op.src.left, op.src.top, dst.width(), dst.height())
                                                   : ToQRect(op.src);
            p.drawImage(dst, image, src);
            break;
        }
        case PaintOp::DrawIcon:
            IconOf(op.iconId).paint(&p, QRect(dst.left(), dst.top(), 32, 32));
            break;
        case PaintOp::EraseIconBackground:
            p.fillRect(rect(), palette().window());
            break;
        }
    }
}

void QtDialog::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    ApplyFocus();
}

}  // namespace drovan::ui::qt
