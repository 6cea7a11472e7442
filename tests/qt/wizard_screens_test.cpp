// The real wizard on the Qt backend, on a fresh simulated machine per test: every page and
// the Add Port dialog in each language, each control at its template rectangle, pictures
// of every screen written to the build's screenshot folder.
#include <QAbstractButton>
#include <QBuffer>
#include <QImageReader>
#include <QPixmap>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QTest>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/sim/clock.h"
#include "platform/sim/machine.h"
#include "platform/ui/afx.h"
#include "platform/ui/dialog_manager.h"
#include "platform/ui/qt/qt_resources.h"
#include "res/dialog_template.h"
#include "res/resource.h"
#include "tests/qt/qt_test_support.h"

namespace {

using drovan::ui::qt::QtDialog;
using qttest::Backend;
using qttest::WaitFor;

class WizardOnQt : public ::testing::Test {
protected:
    // setup: drovan-machine commands (arguments already quoted) run on the new machine
    // before the program starts.
    void StartProgram(int lang, const std::vector<std::string>& setup = {}) {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::path folder = std::filesystem::path(QT_SCRATCH_DIR) / name;
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder.parent_path());
        const std::string tool = std::string(DROVAN_MACHINE_TOOL) + " --machine '" + folder.string() + "' ";
        std::string init = tool + "init --lang " + std::to_string(lang) + " >/dev/null";
        ASSERT_EQ(std::system(init.c_str()), 0) << init;
        for (const auto& command : setup) {
            std::string line = tool + command + " >/dev/null";
            ASSERT_EQ(std::system(line.c_str()), 0) << line;
        }
        ::setenv("DROVAN_MACHINE", folder.c_str(), 1);
        sim::UseMachine(folder);  // the program's static objects may have opened another already
        // The program starts in its own directory, beside its licence texts and packages.
        std::filesystem::current_path(DROVAN_BIN_DIR);
        // The real machine clock, sped up: the installation's ticks and pauses pass quickly.
        sim::clock::SetSpeed(20);
        std::thread([] { AfxWinMain(nullptr, nullptr, nullptr, SW_SHOWNORMAL); }).detach();
    }

    static QtDialog* Dialog(int id) {
        QtDialog* d = Backend().DialogWidget(id);
        return d && d->isVisible() ? d : nullptr;
    }
    static QAbstractButton* Button(QtDialog* d, int id) { return qobject_cast<QAbstractButton*>(d->Control(id)); }
    static bool Shown(QtDialog* d, int id) { return d->Control(id) && d->Control(id)->isVisible(); }

    void Walk(const std::string& prefix, bool chinese) {
        ASSERT_TRUE(WaitFor([] { return Dialog(IDD_DROVAN_DIALOG) != nullptr; }));
        QtDialog* d = Dialog(IDD_DROVAN_DIALOG);
        qttest::ExpectTemplateGeometry(d);
        EXPECT_EQ(d->windowTitle(), chinese ? QString::fromUtf8("打印机驱动程序") : QStringLiteral("Printer Driver Setup"));
        EXPECT_FALSE(d->windowIcon().isNull());

        // Licence: the text from the file, Next only once the terms are accepted.
        ASSERT_TRUE(Shown(d, IDC_LICENCE_TEXT));
        // The box does not wrap: every line of the licence fits it without scrolling.
        auto* licence = qobject_cast<QPlainTextEdit*>(d->Control(IDC_LICENCE_TEXT));
        ASSERT_NE(licence, nullptr);
        EXPECT_EQ(licence->horizontalScrollBar()->maximum(), 0) << "a licence line is wider than the box";
        EXPECT_FALSE(Button(d, 3)->isEnabled());
        qttest::SavePng(d, prefix + "-1-licence");
        Button(d, IDC_ACCEPT)->click();
        ASSERT_TRUE(WaitFor([&] { return Button(d, 3)->isEnabled(); }));
        EXPECT_TRUE(Button(d, IDC_ACCEPT)->isChecked());
        Button(d, 3)->click();

        // Model.
        ASSERT_TRUE(WaitFor([&] { return Shown(d, IDC_MODEL_1); }));
        EXPECT_FALSE(Shown(d, IDC_LICENCE_TEXT));
        EXPECT_TRUE(Button(d, IDC_MODEL_1)->isChecked());
        Button(d, IDC_MODEL_2)->click();
        ASSERT_TRUE(WaitFor([&] { return Button(d, IDC_MODEL_2)->isChecked(); }));
        EXPECT_FALSE(Button(d, IDC_MODEL_1)->isChecked()) << "the radio group is the framework's";
        qttest::SavePng(d, prefix + "-2-model");
        Button(d, 3)->click();

        // Port, and the Add Port dialog over it.
        ASSERT_TRUE(WaitFor([&] { return Shown(d, IDC_PORT_LIST); }));
        auto* ports = qobject_cast<QComboBox*>(d->Control(IDC_PORT_LIST));
        ASSERT_NE(ports, nullptr);
        qttest::SavePng(d, prefix + "-3-port");
        Button(d, IDC_ADD_PORT)->click();
        ASSERT_TRUE(WaitFor([] { return Dialog(IDD_ADDPORT_DIALOG) != nullptr; }));
        QtDialog* add = Dialog(IDD_ADDPORT_DIALOG);
        qttest::ExpectTemplateGeometry(add);
        qttest::SavePng(add, prefix + "-addport");
        QTest::keyClick(add, Qt::Key_Escape);
        ASSERT_TRUE(WaitFor([] { return Dialog(IDD_ADDPORT_DIALOG) == nullptr; }));
        EXPECT_TRUE(d->isVisible());
        WaitFor([&] { return ports->findText(QStringLiteral("COM1:")) >= 0; });
        int com1 = ports->findText(QStringLiteral("COM1:"));
        qttest::SavePng(d, prefix + "-3-port");
        QStringList items;
        for (int i = 0; i < ports->count(); ++i) items << ports->itemText(i);
        ASSERT_GE(com1, 0) << items.join(QLatin1Char(',')).toStdString() << " baud items "
                           << qobject_cast<QComboBox*>(d->Control(IDC_BAUD))->count();
        for (int i = 1; i < ports->count(); ++i)
            EXPECT_LE(ports->itemText(i - 1).compare(ports->itemText(i), Qt::CaseInsensitive), 0) << "sorted list";
        qttest::SavePng(d, prefix + "-3-port");

        ports->setCurrentIndex(com1);
        emit ports->activated(com1);
        ASSERT_TRUE(WaitFor([&] { return d->Control(IDC_BAUD)->isEnabled(); }));
        Button(d, 3)->click();

        // Progress: the bar moves on the machine clock's timer.
        ASSERT_TRUE(WaitFor([&] { return Shown(d, IDC_PROGRESS); }));
        auto* bar = qobject_cast<QProgressBar*>(d->Control(IDC_PROGRESS));
        ASSERT_TRUE(WaitFor([&] { return bar->value() >= 20 || qttest::VisibleMessageBox(); }, 20000, 200));
        qttest::SavePng(d, prefix + "-4-progress");
        EXPECT_FALSE(Button(d, IDCANCEL)->isEnabled());

        ASSERT_TRUE(WaitFor([] { return qttest::VisibleMessageBox() != nullptr; }, 60000, 200));
        auto* box = qobject_cast<QMessageBox*>(qttest::VisibleMessageBox());
        qttest::SavePng(box, prefix + "-5-result");
        EXPECT_EQ(box->parentWidget(), d) << "owned by the wizard";
        EXPECT_TRUE(box->text().contains(chinese ? QString::fromUtf8("成功") : QStringLiteral("success"),
                                         Qt::CaseInsensitive))
            << box->text().toStdString();
        ASSERT_EQ(box->buttons().size(), 1);
        EXPECT_EQ(box->buttons().front()->text(), chinese ? QString::fromUtf8("确定") : QStringLiteral("OK"));
        box->buttons().front()->click();
        EXPECT_TRUE(WaitFor([] { return qttest::VisibleMessageBox() == nullptr; }));
    }
};

TEST_F(WizardOnQt, EveryScreenInEnglish) {
    StartProgram(1033);
    Walk("wizard-en", false);
}

TEST_F(WizardOnQt, EnterInTheLicenceIsTheDialogsAndArrowsWalkTheModels) {
    StartProgram(1033);
    ASSERT_TRUE(WaitFor([] { return Dialog(IDD_DROVAN_DIALOG) != nullptr; }));
    QtDialog* d = Dialog(IDD_DROVAN_DIALOG);
    // The template's WS_EX_TOOLWINDOW: a utility window, no taskbar entry of its own.
    EXPECT_EQ(d->windowFlags() & Qt::WindowType_Mask, Qt::Tool);
    auto* text = qobject_cast<QPlainTextEdit*>(d->Control(IDC_LICENCE_TEXT));
    ASSERT_NE(text, nullptr);
    QString licence = text->toPlainText();
    ASSERT_FALSE(licence.isEmpty());
    // The licence page's controls were made first; the model page's, which come before
    // them in the template, are made now and must still tab and stack ahead of them.
    qttest::ExpectTemplateOrder(d);
    // The licence box has no ES_WANTRETURN: Enter is the dialog's, not a new line. The
    // default button is Back, disabled on this page: a beep, as the dialog manager gives.
    int beeps = Backend().Beeps();
    text->setFocus();
    QTest::keyClick(text, Qt::Key_Return);
    ASSERT_TRUE(WaitFor([&] { return Backend().Beeps() == beeps + 1; }));
    EXPECT_EQ(text->toPlainText(), licence);
    EXPECT_TRUE(Shown(d, IDC_LICENCE_TEXT));
    Button(d, IDC_ACCEPT)->click();
    ASSERT_TRUE(WaitFor([&] { return Button(d, 3)->isEnabled(); }));
    Button(d, 3)->click();
    ASSERT_TRUE(WaitFor([&] { return Shown(d, IDC_MODEL_1); }));

    QAbstractButton* first = Button(d, IDC_MODEL_1);
    QAbstractButton* second = Button(d, IDC_MODEL_2);
    ASSERT_TRUE(first->isChecked());
    first->setFocus();
    QTest::keyClick(first, Qt::Key_Down);
    ASSERT_TRUE(WaitFor([&] { return second->isChecked(); }));
    EXPECT_FALSE(first->isChecked());
    EXPECT_EQ(d->focusWidget(), second);
    // The template's group runs on past the hidden models to the page buttons (the next
    // WS_GROUP is further down): Down goes on to Back, a push button, which checks nothing.
    QTest::keyClick(second, Qt::Key_Down);
    ASSERT_TRUE(WaitFor([&] { return d->focusWidget() == Button(d, IDC_BACK); }));
    Backend().Settle();
    EXPECT_TRUE(second->isChecked());
    QTest::keyClick(Button(d, IDC_BACK), Qt::Key_Up);
    ASSERT_TRUE(WaitFor([&] { return d->focusWidget() == second; }));
    QTest::keyClick(second, Qt::Key_Up);
    ASSERT_TRUE(WaitFor([&] { return first->isChecked(); }));
    EXPECT_FALSE(second->isChecked());
    EXPECT_EQ(d->focusWidget(), first);
}

// The dialog manager's rules on Qt: after Back (clicked) to the licence page the focus is on
// a control that can take it, the same the framework's model has, and Tab and Shift+Tab
// move it; during the installation Escape and the close box only beep.
TEST_F(WizardOnQt, FocusAfterBackAndEscapeAndCloseDuringTheInstallation) {
    StartProgram(1033);
    ASSERT_TRUE(WaitFor([] { return Dialog(IDD_DROVAN_DIALOG) != nullptr; }));
    QtDialog* d = Dialog(IDD_DROVAN_DIALOG);
    auto modelFocus = [d] {
        std::lock_guard lock(sim::clock::Lock());  // the framework's GUI thread is idle
        drovan::ui::Window* w = drovan::ui::FromHandle(d->Hwnd());
        drovan::ui::Window* f = w ? drovan::ui::FocusOf(*w) : nullptr;
        return f ? f->id : -1;
    };
    QTest::mouseClick(Button(d, IDC_ACCEPT), Qt::LeftButton, {}, QPoint(4, 4));
    ASSERT_TRUE(WaitFor([&] { return Button(d, 3)->isEnabled(); }));
    QTest::mouseClick(Button(d, 3), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return Shown(d, IDC_MODEL_1); }));
    QTest::mouseClick(Button(d, IDC_BACK), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return Shown(d, IDC_LICENCE_TEXT) && !Button(d, IDC_BACK)->isEnabled(); }));
    ASSERT_TRUE(WaitFor([&] { return d->focusWidget() == Button(d, IDCANCEL); }));
    EXPECT_EQ(modelFocus(), IDCANCEL);
    EXPECT_TRUE(d->focusWidget()->isVisible() && d->focusWidget()->isEnabled());
    QTest::keyClick(d->focusWidget(), Qt::Key_Tab);
    ASSERT_TRUE(WaitFor([&] { return d->focusWidget() == Button(d, 3); }));
    QTest::keyClick(d->focusWidget(), Qt::Key_Tab);
    ASSERT_TRUE(WaitFor([&] { return d->focusWidget() == d->Control(IDC_LICENCE_TEXT); }));
    EXPECT_EQ(modelFocus(), IDC_LICENCE_TEXT);
    QTest::keyClick(d->focusWidget(), Qt::Key_Backtab);
    ASSERT_TRUE(WaitFor([&] { return d->focusWidget() == Button(d, 3); }));

    // On to the installation.
    Button(d, 3)->click();
    ASSERT_TRUE(WaitFor([&] { return Shown(d, IDC_MODEL_1); }));
    Button(d, 3)->click();
    ASSERT_TRUE(WaitFor([&] { return Shown(d, IDC_PORT_LIST); }));
    auto* ports = qobject_cast<QComboBox*>(d->Control(IDC_PORT_LIST));
    ASSERT_TRUE(WaitFor([&] { return ports->findText(QStringLiteral("COM1:")) >= 0; }));
    int com1 = ports->findText(QStringLiteral("COM1:"));
    ports->setCurrentIndex(com1);
    emit ports->activated(com1);
    ASSERT_TRUE(WaitFor([&] { return d->Control(IDC_BAUD)->isEnabled(); }));
    Button(d, 3)->click();
    ASSERT_TRUE(WaitFor([&] { return Shown(d, IDC_PROGRESS) && !Button(d, IDCANCEL)->isEnabled(); }));
    int beeps = Backend().Beeps();
    QTest::keyClick(d, Qt::Key_Escape);
    d->close();
    ASSERT_TRUE(WaitFor([&] { return Backend().Beeps() >= beeps + 1; }));  // Escape's; the greyed close box is silent
    Backend().Settle(1000);
    EXPECT_TRUE(d->isVisible()) << "the wizard goes on installing";
    EXPECT_EQ(Dialog(IDD_DROVAN_DIALOG), d);
    ASSERT_TRUE(WaitFor([] { return qttest::VisibleMessageBox() != nullptr; }, 60000, 200));
    auto* box = qobject_cast<QMessageBox*>(qttest::VisibleMessageBox());
    EXPECT_TRUE(box->text().contains(QStringLiteral("success"), Qt::CaseInsensitive)) << box->text().toStdString();
    box->buttons().front()->click();
}

// The program reads its own pictures without Qt's image plug-ins: pixel for pixel what Qt's
// readers make of the same bytes.
TEST(PicturesOnQt, ReadAsQtsOwnReadersReadThem) {
    for (int id : {IDB_SIDE_BANNER, IDB_DRIVER_FOUND_PICTURE, IDB_CLOSING_PICTURE}) {
        const drovan::res::BitmapResource* b = drovan::res::FindBitmap(id);
        ASSERT_NE(b, nullptr) << id;
        QImage reference;
        ASSERT_TRUE(reference.loadFromData(b->bmp, static_cast<int>(b->size), "BMP"));
        const QImage& ours = drovan::ui::qt::BitmapImage(id);
        ASSERT_EQ(ours.size(), reference.size()) << id;
        EXPECT_EQ(ours.convertToFormat(QImage::Format_RGB32), reference.convertToFormat(QImage::Format_RGB32)) << id;
    }
    const drovan::res::IconResource* r = drovan::res::FindIcon(IDR_MAINFRAME);
    ASSERT_NE(r, nullptr);
    QByteArray bytes(reinterpret_cast<const char*>(r->ico), static_cast<qsizetype>(r->size));
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer, "ICO");
    ASSERT_GE(reader.imageCount(), 2);
    QIcon icon = drovan::ui::qt::IconOf(IDR_MAINFRAME);
    for (int i = 0; i < reader.imageCount(); ++i) {
        ASSERT_TRUE(i == 0 || reader.jumpToImage(i));
        QImage reference = QPixmap::fromImage(reader.read()).toImage().convertToFormat(QImage::Format_ARGB32);
        QImage ours = icon.pixmap(reference.size()).toImage().convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(ours, reference) << "icon image " << i << " of " << reference.width() << " px";
    }
}

TEST_F(WizardOnQt, EveryScreenInChinese) {
    StartProgram(2052);
    Walk("wizard-cn", true);
}

// The installed-driver dialog over the model page, before and after Delete, in both
// languages; Install then goes on to the port page.
class DriverInfoOnQt : public WizardOnQt, public ::testing::WithParamInterface<int> {};

TEST_P(DriverInfoOnQt, OfferDeleteAndInstall) {
    const bool chinese = GetParam() == 2052;
    const std::string prefix = chinese ? "driverinfo-cn" : "driverinfo-en";
    StartProgram(GetParam(), {"driver add 'QB410 Printer' --file '" + std::string(DROVAN_BIN_DIR) + "/mr2a.gpd'",
                              "printer add 'QB410 Printer' --driver 'QB410 Printer' --port LPT1:"});
    ASSERT_TRUE(WaitFor([] { return Dialog(IDD_DROVAN_DIALOG) != nullptr; }));
    QtDialog* d = Dialog(IDD_DROVAN_DIALOG);
    Button(d, IDC_ACCEPT)->click();
    ASSERT_TRUE(WaitFor([&] { return Button(d, 3)->isEnabled(); }));
    Button(d, 3)->click();
    ASSERT_TRUE(WaitFor([&] { return Shown(d, IDC_MODEL_1); }));
    Button(d, 3)->click();

    ASSERT_TRUE(WaitFor([] { return Dialog(IDD_DRIVERINFO_DIALOG) != nullptr; }));
    QtDialog* info = Dialog(IDD_DRIVERINFO_DIALOG);
    qttest::ExpectTemplateGeometry(info);
    auto* message = qobject_cast<QLabel*>(info->Control(IDC_DRIVERINFO_MESSAGE));
    ASSERT_NE(message, nullptr);
    const QString offer = chinese ? QString::fromUtf8("本机已安装了 1 个 QB410 Printer 驱动程序\r\n\r\n请选择删除还是继续安装?")
                                  : QStringLiteral("There are 1 QB410 Printer Drivers Installed\r\n\r\nPlease choose Delete or still Install");
    ASSERT_TRUE(WaitFor([&] { return message->text() == offer; })) << message->text().toStdString();
    EXPECT_EQ(Button(info, IDC_DRIVERINFO_DELETE)->text(), chinese ? QString::fromUtf8("删除") : QStringLiteral("Delete"));
    qttest::SavePng(info, prefix + "-1-offer");

    Button(info, IDC_DRIVERINFO_DELETE)->click();
    const QString deleted = chinese ? QString::fromUtf8("\r\n      \"QB410 Printer\" 驱动程序已删除")
                                    : QStringLiteral("\r\n      \"QB410 Printer\" drivers have been deleted");
    ASSERT_TRUE(WaitFor([&] { return message->text() == deleted; }, 20000)) << message->text().toStdString();
    EXPECT_FALSE(Button(info, IDC_DRIVERINFO_DELETE)->isEnabled());
    EXPECT_TRUE(Button(info, IDC_DRIVERINFO_INSTALL)->isEnabled());
    qttest::SavePng(info, prefix + "-2-deleted");

    Button(info, IDC_DRIVERINFO_INSTALL)->click();
    ASSERT_TRUE(WaitFor([] { return Dialog(IDD_DRIVERINFO_DIALOG) == nullptr; }));
    EXPECT_TRUE(WaitFor([&] { return Shown(d, IDC_PORT_LIST); }));
}

INSTANTIATE_TEST_SUITE_P(Languages, DriverInfoOnQt, ::testing::Values(1033, 2052),
                         [](const auto& p) { return p.param == 2052 ? std::string("Chinese") : std::string("English"); });

}  // namespace
