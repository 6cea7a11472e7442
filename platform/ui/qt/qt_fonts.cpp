#include "platform/ui/qt/qt_fonts.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QString>
#include <QStringList>

#include <mutex>
#include <thread>

#ifdef DROVAN_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

namespace drovan::ui::qt {

namespace {
const char kChineseFace[] = "WenQuanYi Micro Hei";
const char kSansFace[] = "DejaVu Sans";

std::mutex g_preloadMutex;
std::thread g_preload;
}  // namespace

void StartFontConfigPreload() {
#ifdef DROVAN_HAVE_FONTCONFIG
    std::lock_guard lock(g_preloadMutex);
    if (g_preload.joinable()) return;
    // fontconfig reads every configuration file and font cache of the system before the
    // first font can be matched, the longest single step of the program's start. It needs
    // nothing of Qt, so it runs beside QApplication's own set-up; Qt takes the loaded
    // configuration when it first asks for fonts (FcInit keeps one for the process).
    g_preload = std::thread([] { FcInit(); });
#endif
}

void WarmUpFonts() {
    {
        std::lock_guard lock(g_preloadMutex);
        // Two loads at once would each do the whole work: wait for the one under way.
        if (g_preload.joinable()) g_preload.join();
    }
    // The font list, then the faces the dialogs are mapped to: the first dialog's layout
    // waits for these, so they are loaded while its thread is still starting.
    (void)QFontDatabase::families();
    for (const char* face : {kChineseFace}) {
        QFont f(QString::fromLatin1(face));
        f.setPixelSize(12);
        (void)QFontMetrics(f).height();
    }
}

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
