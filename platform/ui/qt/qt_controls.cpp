#include "platform/ui/qt/qt_controls.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QValidator>

namespace drovan::ui::qt {

QString MnemonicsShown(const QString& s) {
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == QLatin1Char('&') && i + 1 < s.size()) ++i;
        else if (s[i] == QLatin1Char('&')) continue;
        out += s[i];
    }
    return out;
}

namespace {

// Up to three digits; anything else is refused as it is typed.
class FieldValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        if (input.size() > 3) return Invalid;
        for (QChar c : input)
            if (c < QLatin1Char('0') || c > QLatin1Char('9')) return Invalid;
        return Acceptable;
    }
};

}  // namespace

GroupFrame::GroupFrame(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TransparentForMouseEvents); }

void GroupFrame::SetCaption(const QString& caption) {
    m_caption = caption;
    update();
}

void GroupFrame::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QFontMetrics fm(font());
    int top = fm.height() / 2;
    QRect frame = rect().adjusted(0, top, -1, -1);
    // The etched line: a shadow and a highlight, one pixel apart.
    p.setPen(QColor(0xDC, 0xDC, 0xDC));
    p.drawRect(frame.adjusted(1, 1, 0, 0));
    p.setPen(QColor(0xA0, 0xA0, 0xA0));
    p.drawRect(frame.adjusted(0, 0, -1, -1));
    if (m_caption.isEmpty()) return;
    QString shown = MnemonicsShown(m_caption);
    int x = fm.averageCharWidth();
    int w = fm.horizontalAdvance(shown) + 4;
    QRect text(x, 0, std::min(w, width() - x - 2), fm.height());
    p.fillRect(text, palette().window());
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    p.drawText(text.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, shown);
}

void PictureStatic::SetImage(const QImage& image) {
    m_image = image;
    update();
}

void PictureStatic::paintEvent(QPaintEvent*) {
    if (m_image.isNull()) return;
    QPainter p(this);
    p.drawImage(QPoint(0, 0), m_image);
}

AddressEdit::AddressEdit(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    auto* validator = new FieldValidator(this);
    for (size_t i = 0; i < m_fields.size(); ++i) {
        auto* f = new QLineEdit(this);
        f->setFrame(false);
        f->setAlignment(Qt::AlignCenter);
        f->setValidator(validator);
        f->setMaxLength(3);
        f->setTextMargins(0, 0, 0, 0);
        f->installEventFilter(this);
        int index = static_cast<int>(i);
        connect(f, &QLineEdit::textEdited, this, [this, index] { FieldEdited(index); });
        m_fields[i] = f;
        if (i < m_dots.size()) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setAlignment(Qt::AlignCenter);
            m_dots[i] = dot;
        }
    }
    setFocusProxy(m_fields[0]);
}

void AddressEdit::resizeEvent(QResizeEvent*) {
    QRect inner = contentsRect();
    int dotWidth = std::max(3, fontMetrics().horizontalAdvance(QLatin1Char('.')) + 2);
    int fieldWidth = (inner.width() - 3 * dotWidth) / 4;
    int x = inner.left();
    for (size_t i = 0; i < m_fields.size(); ++i) {
        m_fields[i]->setGeometry(x, inner.top(), fieldWidth, inner.height());
        x += fieldWidth;
        if (i < m_dots.size()) {
            m_dots[i]->setGeometry(x, inner.top(), dotWidth, inner.height());
            x += dotWidth;
        }
    }
}

void AddressEdit::SetFields(const std::array<int, 4>& fields) {
    for (size_t i = 0; i < m_fields.size(); ++i) {
        QString t = fields[i] < 0 ? QString() : QString::number(fields[i]);
        if (m_fields[i]->text() != t) m_fields[i]->setText(t);
    }
}

QString AddressEdit::DottedText() const {
    QStringList parts;
    for (QLineEdit* f : m_fields) parts << f->text();
    QString dotted = parts.join(QLatin1Char('.'));
    return dotted == QStringLiteral("...") ? QString() : dotted;
}

void AddressEdit::FieldEdited(int index) {
    QLineEdit* f = m_fields[static_cast<size_t>(index)];
    // The control takes no value above 255: it puts the largest one in, as Windows does.
    if (!f->text().isEmpty() && f->text().toInt() > 255) f->setText(QStringLiteral("255"));
    if (f->text().size() == 3 && index < 3) {
        m_fields[static_cast<size_t>(index) + 1]->setFocus();
        m_fields[static_cast<size_t>(index) + 1]->selectAll();
    }
    if (edited) edited(DottedText());
}

bool AddressEdit::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    for (size_t i = 0; i < m_fields.size(); ++i) {
        if (watched != m_fields[i]) continue;
        if ((key->text() == QStringLiteral(".") || key->key() == Qt::Key_Space) && i < 3) {
            if (!m_fields[i]->text().isEmpty()) {
                m_fields[i + 1]->setFocus();
                m_fields[i + 1]->selectAll();
            }
            return true;
        }
        if (key->key() == Qt::Key_Backspace && m_fields[i]->text().isEmpty() && i > 0) {
            m_fields[i - 1]->setFocus();
            m_fields[i - 1]->end(false);
            return true;
        }
    }
    return false;
}

}  // namespace drovan::ui::qt
