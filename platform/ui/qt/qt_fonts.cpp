#include "platform/ui/qt/qt_fonts.h"

#include <QFontMetrics>
#include <QString>
#include <QStringList>

namespace drovan::ui::qt {

namespace {
const char kChineseFace[] = "WenQuanYi Micro Hei";
const char kSansFace[] = "DejaVu Sans";
}  // namespace

void InstallFontSubstitutes() {
    for (const QString& face : {QString::fromUtf8("宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun"),
                                QString::fromUtf8("新宋体")})
        QFont::insertSubstitution(face, QString::fromLatin1(kChineseFace));
    for (const QString& face : {QStringLiteral("MS Shell Dlg"), QStringLiteral("MS Shell Dlg 2"),
                                QStringLiteral("MS Sans Serif"), QStringLiteral("Tahoma")})
        QFont::insertSubstitutions(face, QStringList{QString::fromLatin1(kSansFace), QString::fromLatin1(kChineseFace)});
}

QFont DialogFont(const Text& face, int points) {
    // A template without a font gets the system font, which Windows sizes like 9-point
    // text of the dialog font.
    QString family = face.empty() ? QStringLiteral("MS Shell Dlg")
                                  : QString::fromUtf16(face.data(), static_cast<qsizetype>(face.size()));
    QFont f(family);
    f.setPixelSize(MulDiv(points > 0 ? points : 8, 96, 72));
    f.setStyleStrategy(QFont::PreferAntialias);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

POINT BaseUnitsOf(const QFont& font) {
    QFontMetrics fm(font);
    int width = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return POINT{(width / 26 + 1) / 2, fm.height()};
}

}  // namespace drovan::ui::qt
