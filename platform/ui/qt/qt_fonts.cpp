#include "platform/ui/qt/qt_fonts.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QString>
#include <QStringList>

#include <cstdlib>
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

#ifdef DROVAN_HAVE_FONTCONFIG
// The program's own fontconfig set-up: the usual font and cache folders, the rendering of
// a stock Debian desktop, and the generic families led by the faces the dialogs are mapped
// to. The system's configuration is about a hundred files, all parsed before the first font
// can be matched, and each machine's rules differ; this one is read in well under a
// millisecond and lays the dialogs out alike everywhere.
const char kFontConfig[] = R"(<?xml version="1.0"?>
<fontconfig>
  <dir>/usr/share/fonts</dir>
  <dir>/usr/local/share/fonts</dir>
  <dir prefix="xdg">fonts</dir>
  <dir>~/.fonts</dir>
  <cachedir>/var/cache/fontconfig</cachedir>
  <cachedir prefix="xdg">fontconfig</cachedir>
  <cachedir>~/.fontconfig</cachedir>
  <match target="pattern">
    <edit name="hintstyle" mode="append"><const>hintslight</const></edit>
    <edit name="lcdfilter" mode="append"><const>lcddefault</const></edit>
  </match>
  <match target="font">
    <edit name="antialias" mode="assign"><bool>true</bool></edit>
  </match>
  <match target="font">
    <test name="family"><string>WenQuanYi Micro Hei</string></test>
    <edit name="hinting" mode="assign"><bool>false</bool></edit>
  </match>
  <match target="font">
    <test name="family"><string>DejaVu Sans</string></test>
    <test name="pixelsize" compare="less"><double>7.5</double></test>
    <edit name="hinting"><bool>false</bool></edit>
  </match>
  <match target="pattern">
    <test qual="all" name="family" compare="not_eq"><string>sans-serif</string></test>
    <test qual="all" name="family" compare="not_eq"><string>serif</string></test>
    <test qual="all" name="family" compare="not_eq"><string>monospace</string></test>
    <edit name="family" mode="append_last"><string>sans-serif</string></edit>
  </match>
  <alias><family>sans-serif</family><prefer><family>DejaVu Sans</family><family>WenQuanYi Micro Hei</family></prefer></alias>
  <alias><family>serif</family><prefer><family>DejaVu Serif</family><family>WenQuanYi Micro Hei</family></prefer></alias>
  <alias><family>monospace</family><prefer><family>DejaVu Sans Mono</family><family>WenQuanYi Micro Hei Mono</family></prefer></alias>
</fontconfig>
)";

bool HasFamily(FcConfig* config, const char* family) {
    FcPattern* pattern = FcPatternBuild(nullptr, FC_FAMILY, FcTypeString, family, nullptr);
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* fonts = pattern && objects ? FcFontList(config, pattern, objects) : nullptr;
    bool found = fonts && fonts->nfont > 0;
    if (fonts) FcFontSetDestroy(fonts);
    if (objects) FcObjectSetDestroy(objects);
    if (pattern) FcPatternDestroy(pattern);
    return found;
}

void LoadFontConfig() {
    // A configuration the user names is theirs to keep.
    if (!std::getenv("FONTCONFIG_FILE") && !std::getenv("FONTCONFIG_PATH")) {
        FcConfig* own = FcConfigCreate();
        bool usable = own && FcConfigParseAndLoadFromMemory(own, reinterpret_cast<const FcChar8*>(kFontConfig), FcTrue) &&
                      FcConfigBuildFonts(own) && HasFamily(own, kChineseFace) && HasFamily(own, kSansFace);
        // Where the mapped faces live elsewhere, the system's configuration finds them.
        if (usable) usable = FcConfigSetCurrent(own);
        if (own) FcConfigDestroy(own);  // the current configuration keeps its own reference
        if (usable) return;
    }
    FcInit();
}
#endif

}  // namespace

void StartFontConfigPreload() {
#ifdef DROVAN_HAVE_FONTCONFIG
    std::lock_guard lock(g_preloadMutex);
    if (g_preload.joinable()) return;
    // Loading the font configuration is the longest single step of the program's start.
    // It needs nothing of Qt, so it runs beside QApplication's own set-up; Qt takes the
    // current configuration when it first asks for fonts.
    g_preload = std::thread(LoadFontConfig);
#endif
}

void WarmUpFonts() {
    {
        std::lock_guard lock(g_preloadMutex);
        // Two loads at once would each do the whole work: wait for the one under way.
        if (g_preload.joinable()) g_preload.join();
    }
    // The font list, then the face the wizard's templates are mapped to: the first dialog's
    // layout waits for both, so they are loaded while the program's thread is starting.
    (void)QFontDatabase::families();
    QFont f(QString::fromLatin1(kChineseFace));
    f.setPixelSize(12);
    (void)QFontMetrics(f).height();
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
