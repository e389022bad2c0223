#include "KdScreenshots.h"

#include "KdMainWindow.h"
#include "KdMenuDataSource.h"
#include "KdMenuView.h"
#include "KdPrmCellView.h"
#include "KdPrmView.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QScrollArea>
#include <QStyleFactory>
#include <QThread>

#include <cstdio>
#include <functional>

namespace {

// Runs the event loop until done() or the time is up.
bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    return true;
}

QPalette DarkPalette() {
    QPalette p;
    const QColor window(0x2b, 0x2e, 0x33), base(0x1f, 0x22, 0x26), text(0xe6, 0xe9, 0xec);
    const QColor button(0x35, 0x39, 0x3f), highlight(0x2f, 0x7f, 0xc4);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(0x93, 0x9a, 0xa3));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, button);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Light, QColor(0x4a, 0x4f, 0x57));
    p.setColor(QPalette::Midlight, QColor(0x40, 0x45, 0x4c));
    p.setColor(QPalette::Mid, QColor(0x26, 0x29, 0x2d));
    p.setColor(QPalette::Dark, QColor(0x18, 0x1a, 0x1d));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Highlight, highlight);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0x6c, 0xb4, 0xf0));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(0x7a, 0x80, 0x88));
    return p;
}

// "Mix/Effect", "Fade/AutoSw" -> "mix-effect", "fade-autosw".
QString FileWord(const QString& label) {
    QString word;
    for (QChar c : label.toLower())
        word += c.isLetterOrNumber() ? c : QChar('-');
    return word;
}

// Waits until the open page, if any, has read its parameters; the reading ends by itself at its
// first unanswered request.
void WaitForReading(KdMainWindow& window) {
    constexpr int kReadingWaitMs = 30000;
    WaitFor(
        [&] {
            auto* page = qobject_cast<KdPrmView*>(window.prmView()->widget());
            return !page || !page->isReading();
        },
        kReadingWaitMs);
}

// The window with every note shown over it (a note is a window of its own), once the open page
// shows the switcher's values.
bool Save(KdMainWindow& window, const QString& path) {
    WaitForReading(window);
    QApplication::processEvents();
    QImage picture = window.grab().toImage();
    QPainter painter(&picture);
    const QPoint origin = window.mapToGlobal(QPoint(0, 0));
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* note = qobject_cast<UiPopupWindow*>(top); note && note->isVisible())
            painter.drawPixmap(note->geometry().topLeft() - origin, note->grab());
    painter.end();
    if (picture.save(path)) return true;
    std::fprintf(stderr, "kaldo-utility: cannot write %s\n", qPrintable(path));
    return false;
}

// Selects the menu's page group/leaf; false when there is none.
bool SelectPage(KdMenuView* menu, const QString& group, const QString& leaf) {
    for (int row = 0; row < menu->numberOfRows(); ++row) {
        const QModelIndex page = menu->indexAtRow(row);
        if (page.data().toString() == leaf && page.parent().data().toString() == group)
            return menu->selectRowInSafety(row);
    }
    return false;
}

// Types text into the number field of the open page's row titled title and presses Return, as
// keys would. Text that is no number is refused by the field, so nothing reaches the switcher.
bool TypeRefusedEntry(KdMainWindow& window, const QString& title, const QString& text) {
    WaitForReading(window);
    auto* page = qobject_cast<KdPrmView*>(window.prmView()->widget());
    if (!page) return false;
    for (KdPrmCellView* row : page->findChildren<KdPrmCellView*>()) {
        if (row->title() != title || !row->spinBox()) continue;
        QLineEdit* field = row->spinBox()->textField();
        field->setFocus();
        field->selectAll();
        const auto key = [field](int code, const QString& character) {
            QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, character);
            QApplication::sendEvent(field, &press);
            QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier, character);
            QApplication::sendEvent(field, &release);
        };
        for (QChar c : text)
            key(c.unicode(), QString(c));
        key(Qt::Key_Return, "\r");
        return page->infoWindow() != nullptr;
    }
    return false;
}

} // namespace

int KdScreenshots::TakeAll(KdMainWindow& window, const QString& directory, int openWaitMs) {
    if (!QDir().mkpath(directory)) {
        std::fprintf(stderr, "kaldo-utility: cannot create %s\n", qPrintable(directory));
        return 1;
    }
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    const QPalette light = QApplication::style()->standardPalette();
    const struct {
        const char* name;
        QPalette palette;
    } looks[] = {{"light", light}, {"dark", DarkPalette()}};

    const bool open =
        WaitFor([&] { return window.menuView()->dataSource() != nullptr; }, openWaitMs);
    const QDir dir(directory);
    bool saved = true;
    int shots = 0;
    for (const auto& look : looks) {
        QApplication::setPalette(look.palette);
        if (!open) {
            saved &= Save(window, dir.filePath(QString("no-switcher-%1.png").arg(look.name)));
            continue;
        }
        KdMenuView* menu = window.menuView();
        for (int row = 0; row < menu->numberOfRows(); ++row) {
            if (!menu->selectRowInSafety(row)) continue;
            const QModelIndex page = menu->indexAtRow(row);
            const QString name = QString("%1-%2-%3-%4.png")
                                     .arg(row, 2, 10, QChar('0'))
                                     .arg(FileWord(page.parent().data().toString()),
                                          FileWord(page.data().toString()), look.name);
            saved &= Save(window, dir.filePath(name));
            ++shots;
        }
        // The message a refused entry leaves.
        if (SelectPage(menu, "ROI", "General") &&
            TypeRefusedEntry(window, "ROI Move Damp Time", "2..5")) {
            saved &= Save(window, dir.filePath(QString("refused-edit-%1.png").arg(look.name)));
            ++shots;
        }
        if (auto* page = qobject_cast<KdPrmView*>(window.prmView()->widget()))
            page->closeInformationWindow();
    }
    if (!open)
        std::fprintf(stderr, "kaldo-utility: no switcher opened within %d ms\n", openWaitMs);
    else
        std::fprintf(stderr, "kaldo-utility: %d screenshots in %s\n", shots,
                     qPrintable(dir.absolutePath()));
    return open && saved ? 0 : 1;
}
