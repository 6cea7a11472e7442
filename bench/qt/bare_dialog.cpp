// The baseline of the start-up benchmark: a bare Qt dialog of the wizard's size, doing
// nothing but showing itself. It ends once its first paint pass is done, printing the
// monotonic time and its peak RSS in the line the wizard prints under
// DROVAN_EXIT_AFTER_FIRST_PAINT=1, so that the driver reads both alike.
//
//     bench_qt_bare_dialog [WIDTH HEIGHT]     (default 621 410, the wizard's size)
#include <QApplication>
#include <QDialog>
#include <QMetaObject>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
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
    if (argc == 3) {
        width = std::atoi(argv[1]);
        height = std::atoi(argv[2]);
    }
    if (argc != 1 && (argc != 3 || width <= 0 || height <= 0)) {
        std::fprintf(stderr, "usage: %s [WIDTH HEIGHT]\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    BareDialog dialog;
    dialog.setFixedSize(width, height);
    dialog.show();
    return QApplication::exec();
}
