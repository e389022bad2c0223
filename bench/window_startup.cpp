// kaldo-utility's start-up up to the first paint of its main window, as a whole process: it
// starts like the utility and exits once the window has painted, so that timing the process
// (hyperfine -r 10 kaldo_window_startup, offscreen) gives the time to a shown window.
#include "KdMainWindow.h"

#include <QApplication>

namespace {

// Quits the application at the first paint of the watched widget.
class FirstPaint : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) QApplication::exit(0);
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    KdMainWindow window;
    FirstPaint firstPaint;
    window.centralWidget()->installEventFilter(&firstPaint);
    window.show();
    return app.exec();
}
