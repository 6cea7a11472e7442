// Widgets for the controls whose Windows behaviour Qt's stock widgets do not have: check
// boxes and radio buttons that leave their state to the framework, the group box frame,
// the picture static and the four-field IPv4 address control.
#pragma once

#include <QCheckBox>
#include <QFrame>
#include <QImage>
#include <QLineEdit>
#include <QRadioButton>
#include <QWidget>

#include <array>
#include <functional>

namespace drovan::ui::qt {

// A caption as Windows shows it: a lone '&' marks the next letter and is not drawn, "&&"
// is one '&'.
QString MnemonicsShown(const QString& s);

// A click only reports itself; the framework decides the new state and sends it back.
class ModelCheckBox : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override {}
};

class ModelRadioButton : public QRadioButton {
public:
    explicit ModelRadioButton(QWidget* parent) : QRadioButton(parent) { setAutoExclusive(false); }

protected:
    void nextCheckState() override {}
};

// A group box as Windows draws it: an etched frame whose top runs through the middle of
// the caption's first line, the caption over the line near the left. It takes no input.
class GroupFrame : public QWidget {
public:
    explicit GroupFrame(QWidget* parent);
    void SetCaption(const QString& caption);
    QString Caption() const { return m_caption; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString m_caption;
};

// A static picture: the bitmap at its own size from the top left corner, or the icon.
class PictureStatic : public QWidget {
public:
    explicit PictureStatic(QWidget* parent) : QWidget(parent) {}
    void SetImage(const QImage& image);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QImage m_image;
};

// An IPv4 address control: four fields of up to three digits, each bounded 0-255, with
// the dots between them. A full field or a typed dot moves on to the next field; Backspace
// in an empty field goes back. `edited` reports the dotted text after each change.
class AddressEdit : public QFrame {
public:
    explicit AddressEdit(QWidget* parent);
    void SetFields(const std::array<int, 4>& fields);  // -1 for a blank field
    QString DottedText() const;
    QLineEdit* Field(int i) const { return m_fields[static_cast<size_t>(i)]; }
    std::function<void(const QString&)> edited;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent*) override;

private:
    void FieldEdited(int index);
    std::array<QLineEdit*, 4> m_fields{};
    std::array<QWidget*, 3> m_dots{};
};

}  // namespace drovan::ui::qt
