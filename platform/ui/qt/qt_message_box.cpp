#include "platform/ui/qt/qt_message_box.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <map>
#include <memory>

#include "platform/ui/backend.h"
#include "platform/ui/qt/qt_backend.h"
#include "platform/ui/qt/qt_dialog.h"

namespace drovan::ui::qt {

namespace {

// A box that ends only through its buttons, or through Escape and the close box where the
// type allows them.
class WinMessageBox : public QMessageBox {
public:
    WinMessageBox(QWidget* parent, int escapeId, std::function<void(int)> answered)
        : QMessageBox(parent), m_escapeId(escapeId), m_answered(std::move(answered)) {}

    void Finish(int id) {
        if (m_finished) return;
        m_finished = true;
        hide();
        auto answered = std::move(m_answered);
        deleteLater();
        answered(id);
    }

protected:
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Escape) {
            if (m_escapeId) Finish(m_escapeId);
            e->accept();
            return;
        }
        QMessageBox::keyPressEvent(e);
    }
    void closeEvent(QCloseEvent* e) override {
        e->ignore();
        if (m_escapeId) Finish(m_escapeId);
    }

private:
    int m_escapeId;
    std::function<void(int)> m_answered;
    bool m_finished = false;
};

QMessageBox::Icon IconOf(UINT type) {
    switch (type & MB_ICONMASK) {
    case MB_ICONHAND: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONEXCLAMATION: return QMessageBox::Warning;
    case MB_ICONASTERISK: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

QMessageBox::ButtonRole RoleOf(int id) {
    switch (id) {
    case IDOK: case IDYES: case IDRETRY: case IDTRYAGAIN: case IDCONTINUE: return QMessageBox::AcceptRole;
    case IDNO: return QMessageBox::NoRole;
    case IDIGNORE: return QMessageBox::ActionRole;
    default: return QMessageBox::RejectRole;
    }
}

WinMessageBox* Build(QtBackend& backend, const MessageBoxRequest& r, std::function<void(int)> answered) {
    QtDialog* owner = r.owner ? backend.DialogWidgetOf(r.owner) : nullptr;
    auto* box = new WinMessageBox(owner, MessageBoxEscapeButton(r.type), std::move(answered));
    box->setWindowTitle(ToQString(r.caption));
    box->setText(ToQString(r.text));
    box->setTextFormat(Qt::PlainText);
    box->setIcon(IconOf(r.type));
    box->setWindowModality(Qt::ApplicationModal);
    box->setProperty("drovanType", static_cast<uint>(r.type));
    box->setProperty("drovanOwner", owner ? owner->TemplateId() : 0);
    if (owner) box->setFont(owner->font());
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint;
    // Without an Escape button Windows greys the close box.
    if (MessageBoxEscapeButton(r.type)) flags |= Qt::WindowCloseButtonHint;
    if ((r.type & (MB_TOPMOST | MB_SYSTEMMODAL)) || (owner && owner->IsTopmost())) flags |= Qt::WindowStaysOnTopHint;
    box->setWindowFlags(flags);
    int defaultId = MessageBoxDefault(r.type);
    for (int id : MessageBoxButtons(r.type)) {
        QPushButton* b = box->addButton(ToQString(MessageBoxButtonLabel(id, r.chinese)), RoleOf(id));
        b->setProperty("drovanId", id);
        QObject::connect(b, &QPushButton::clicked, box, [box, id] { box->Finish(id); });
        if (id == defaultId) box->setDefaultButton(b);
    }
    return box;
}

}  // namespace

int MessageBoxEscapeButton(UINT type) {
    std::vector<int> buttons = MessageBoxButtons(type);
    if (std::find(buttons.begin(), buttons.end(), IDCANCEL) != buttons.end()) return IDCANCEL;
    if (buttons.size() == 1 && buttons.front() == IDOK) return IDOK;
    return 0;
}

Text MessageBoxButtonLabel(int id, bool chinese) {
    static const std::map<int, std::pair<const char16_t*, const char16_t*>> labels = {
        {IDOK, {u"OK", u"确定"}},
        {IDCANCEL, {u"Cancel", u"取消"}},
        {IDABORT, {u"&Abort", u"中止(&A)"}},
        {IDRETRY, {u"&Retry", u"重试(&R)"}},
        {IDIGNORE, {u"&Ignore", u"忽略(&I)"}},
        {IDYES, {u"&Yes", u"是(&Y)"}},
        {IDNO, {u"&No", u"否(&N)"}},
        {IDTRYAGAIN, {u"&Try Again", u"重试(&T)"}},
        {IDCONTINUE, {u"&Continue", u"继续(&C)"}},
    };
    auto it = labels.find(id);
    if (it == labels.end()) return Text(u"?");
    return Text(chinese ? it->second.second : it->second.first);
}

void ShowMessageBox(QtBackend& backend, const MessageBoxRequest& request, std::function<void(int)> answered) {
    WinMessageBox* box = Build(backend, request, std::move(answered));
    box->show();
    box->raise();
    box->activateWindow();
}

int RunMessageBoxNow(QtBackend& backend, const MessageBoxRequest& request) {
    QEventLoop loop;
    auto result = std::make_shared<int>(0);
    ShowMessageBox(backend, request, [result, &loop](int id) {
        *result = id;
        loop.quit();
    });
    loop.exec();
    return *result;
}

}  // namespace drovan::ui::qt
