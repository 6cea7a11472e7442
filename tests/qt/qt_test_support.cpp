#include "tests/qt/qt_test_support.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QThread>

#include <algorithm>

#include "platform/sim/clock.h"
#include "platform/ui/qt/qt_fonts.h"
#include "res/dialog_template.h"

namespace qttest {

drovan::ui::qt::QtBackend& Backend() {
    static auto* backend = new drovan::ui::qt::QtBackend;
    return *backend;
}

std::filesystem::path SavePng(QWidget* widget, const std::string& name) {
    std::filesystem::path dir = QT_SCREENSHOT_DIR;
    std::filesystem::create_directories(dir);
    std::filesystem::path file = dir / (name + ".png");
    // A top-level window's picture with its frame is the platform's; the client area is ours.
    EXPECT_TRUE(widget->grab().save(QString::fromStdString(file.string()), "PNG")) << file;
    return file;
}

void ExpectTemplateGeometry(drovan::ui::qt::QtDialog* dialog) {
    ASSERT_NE(dialog, nullptr);
    const drovan::res::DialogTemplate* t = drovan::res::FindDialogTemplate(dialog->TemplateId());
    ASSERT_NE(t, nullptr);
    // The base units measured here from the template's font, by Windows' rules.
    using drovan::ui::qt::BaseUnitsOf;
    using drovan::ui::qt::DialogFont;
    POINT bu = BaseUnitsOf(DialogFont(t->fontFace ? drovan::ui::Text(t->fontFace) : drovan::ui::Text(),
                                      t->fontFace ? t->fontPoints : 9));
    EXPECT_EQ(dialog->width(), MulDiv(t->cx, bu.x, 4)) << "dialog " << t->id;
    EXPECT_EQ(dialog->height(), MulDiv(t->cy, bu.y, 8)) << "dialog " << t->id;
    for (const auto& ct : t->controls) {
        QWidget* w = nullptr;
        for (QWidget* child : dialog->Controls(ct.id))
            if (child->geometry().topLeft() == QPoint(MulDiv(ct.x, bu.x, 4), MulDiv(ct.y, bu.y, 8))) w = child;
        ASSERT_NE(w, nullptr) << "control " << ct.id << " of dialog " << t->id << " not at its template position";
        QRect g = w->geometry();
        int left = MulDiv(ct.x, bu.x, 4), top = MulDiv(ct.y, bu.y, 8);
        int right = left + MulDiv(ct.cx, bu.x, 4), bottom = top + MulDiv(ct.cy, bu.y, 8);
        EXPECT_EQ(g.x(), left) << "control " << ct.id;
        EXPECT_EQ(g.y(), top) << "control " << ct.id;
        EXPECT_EQ(g.width(), right - left) << "control " << ct.id;
        if (qobject_cast<QComboBox*>(w)) {
            EXPECT_LE(g.height(), bottom - top) << "combo " << ct.id;
            EXPECT_GE(g.height(), bu.y + 4) << "combo " << ct.id << " too low for its text";
        } else {
            EXPECT_EQ(g.height(), bottom - top) << "control " << ct.id;
        }
    }
}

void ExpectTemplateOrder(drovan::ui::qt::QtDialog* dialog) {
    ASSERT_NE(dialog, nullptr);
    std::vector<QWidget*> controls = dialog->AllControls();
    std::vector<QWidget*> chain;
    for (QWidget* w = dialog->nextInFocusChain(); w && w != dialog; w = w->nextInFocusChain()) chain.push_back(w);
    QObjectList stack = dialog->children();  // bottom first
    long lastFocus = -1;
    long lastStack = static_cast<long>(stack.size());
    for (size_t i = 0; i < controls.size(); ++i) {
        long level = stack.indexOf(controls[i]);
        if (controls[i]->focusPolicy() != Qt::NoFocus) {  // the others are never tabbed to
            long focus = std::find(chain.begin(), chain.end(), controls[i]) - chain.begin();
            EXPECT_GT(focus, lastFocus) << "control " << i << " (ID " << controls[i]->property("drovanId").toInt()
                                        << ") out of tab order";
            lastFocus = focus;
        }
        EXPECT_LT(level, lastStack) << "control " << i << " (ID " << controls[i]->property("drovanId").toInt()
                                    << ") stacked out of order";
        lastStack = level;
    }
}

QWidget* VisibleMessageBox() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) return box;
    return nullptr;
}

bool WaitFor(const std::function<bool()>& done, int boundMs, int stepMs) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < boundMs) {
        Backend().Settle(200);
        if (done()) return true;
        if (stepMs > 0 && sim::clock::IsDriven()) sim::clock::Advance(static_cast<sim::clock::Millis>(stepMs));
        else QThread::msleep(2);
    }
    return done();
}

}  // namespace qttest
