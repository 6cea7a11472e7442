// The baseline of the start-up benchmark: a bare Qt dialog of the wizard's size, doing
// nothing but showing itself. It ends once its first paint pass is done, printing the
// monotonic time and its peak RSS in the line the wizard prints under
// DROVAN_EXIT_AFTER_FIRST_PAINT=1, so that the driver reads both alike.
//
// A bare dialog draws no text, so it never loads a font. With --text it shows one line in
// the face and size the wizard's template asks for (9-point SimSun, which the wizard maps
// to WenQuanYi Micro Hei), found through the system's font set-up as any Qt program would:
// the least a dialog with words on it costs.
//
//     bench_qt_bare_dialog [--text] [WIDTH HEIGHT]     (default 621 410, the wizard's size)
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMetaObject>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

class BareDialog : public QDialog {
protected:
    void paintEvent(QPaintEvent* e) override {
        QDialog::paintEvent(e);
        if (m_reported) return;
        m_reported = true;
        // Queued, so that it runs once the whole paint pass has been flushed.
        QMetaObject::invokeMethod(this, [this] { Report(); }, Qt::QueuedConnection);
    }

private:
    void Report() const {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("first-paint monotonic_ns=%lld peak_rss_kb=%ld width=%d height=%d\n",
                    static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec, usage.ru_maxrss, width(),
                    height());
        std::fflush(stdout);
        std::_Exit(0);
    }

    bool m_reported = false;
};

}  // namespace

int main(int argc, char** argv) {
    int width = 621;
    int height = 410;
    int first = 1;
    bool text = argc > 1 && std::strcmp(argv[1], "--text") == 0;
    if (text) ++first;
    int sizes = argc - first;
    if (sizes == 2) {
        width = std::atoi(argv[first]);
        height = std::atoi(argv[first + 1]);
    }
    if ((sizes != 0 && sizes != 2) || width <= 0 || height <= 0) {
        std::fprintf(stderr, "usage: %s [--text] [WIDTH HEIGHT]\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    BareDialog dialog;
    dialog.setFixedSize(width, height);
    if (text) {
        QFont font(QStringLiteral("WenQuanYi Micro Hei"));
        font.setPixelSize(12);
        dialog.setFont(font);
        auto* label = new QLabel(QString::fromUtf8("打印机驱动程序 - Printer Driver Setup"), &dialog);
        label->setGeometry(12, 12, width - 24, 20);
    }
    dialog.show();
    return QApplication::exec();
}
