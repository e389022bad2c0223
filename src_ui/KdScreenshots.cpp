#include "KdScreenshots.h"

#include "KdImportDialog.h"
#include "KdMainWindow.h"
#include "KdMenuDataSource.h"
#include "KdMenuView.h"
#include "KdPrmCellView.h"
#include "KdPrmView.h"
#include "KdSettingsTransfer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QScrollArea>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

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

bool Write(const QImage& picture, const QString& path) {
    if (picture.save(path)) return true;
    std::fprintf(stderr, "kaldo-utility: cannot write %s\n", qPrintable(path));
    return false;
}

// The window's part above bottom with every note and open menu shown over it (each is a window
// of its own), once the open page shows the switcher's values; the whole window when bottom is 0.
bool Save(KdMainWindow& window, const QString& path, int bottom = 0) {
    WaitForReading(window);
    QApplication::processEvents();
    QImage picture = window.grab().toImage();
    QPainter painter(&picture);
    const QPoint origin = window.mapToGlobal(QPoint(0, 0));
    for (QWidget* top : QApplication::topLevelWidgets())
        if ((qobject_cast<UiPopupWindow*>(top) || qobject_cast<QMenu*>(top)) && top->isVisible())
            painter.drawPixmap(top->geometry().topLeft() - origin, top->grab());
    painter.end();
    return Write(bottom > 0 ? picture.copy(0, 0, picture.width(), bottom) : picture, path);
}

// The light and the dark look of the pictures, in Fusion so that both are the same everywhere.
struct _SLook {
    const char* mName;
    QPalette mPalette;
};
std::vector<_SLook> Looks() {
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    return {{"light", QApplication::style()->standardPalette()}, {"dark", DarkPalette()}};
}

// The menu bar's menu titled title (without its "&"), or null.
QMenu* MenuBarMenu(KdMainWindow& window, const QString& title) {
    for (QAction* action : window.menuBar()->actions())
        if (action->menu() && action->text().remove('&') == title) return action->menu();
    return nullptr;
}

// Opens the Switcher menu from the menu bar with its first item highlighted, as the mouse leaves
// it: the menu once it shows, or null.
QMenu* OpenSwitcherMenu(KdMainWindow& window) {
    QMenu* menu = MenuBarMenu(window, "Switcher");
    if (!menu) return nullptr;
    window.activateWindow();
    window.menuBar()->setActiveAction(menu->menuAction());
    if (!WaitFor([menu] { return menu->isVisible(); }, 2000)) return nullptr;
    menu->setActiveAction(menu->actions().value(0));
    return menu;
}

// A backup of the open switcher with three settings changed, as a file that Import Settings
// would take: exported (which only reads), then edited. Empty (and a message) when the export
// failed.
QString ChangedBackup(KdMainWindow& window, const QTemporaryDir& dir) {
    const QString path = dir.filePath("kaldo-1-backup.json");
    // Shared with the export's callback, which may come after a time-out.
    auto result = std::make_shared<std::optional<std::pair<bool, QString>>>();
    KdSettingsTransfer::exportTo(
        &window, window.currentDevice(), path,
        [result](bool saved, const QString& message) { result->emplace(saved, message); });
    if (!WaitFor([result] { return result->has_value(); }, 30000) || !(*result)->first) {
        std::fprintf(stderr, "kaldo-utility: no import preview: export failed: %s\n",
                     *result ? qPrintable((*result)->second) : "no answer");
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QJsonObject backup = QJsonDocument::fromJson(file.readAll()).object();
    file.close();
    // Main In H Flip, SNMP Location Name and IP Address 4th: a value, a name and an address.
    const struct {
        int mID;
        QJsonValue mValue, mOther;
    } changes[] = {
        {102, 1, 0},
        {760, "Studio B", "Studio C"},
        {903, 201, 202},
    };
    QJsonArray settings = backup["settings"].toArray();
    for (auto&& entry : settings) {
        QJsonObject setting = entry.toObject();
        for (const auto& change : changes) {
            if (setting["id"].toInt() != change.mID) continue;
            const char* key = change.mValue.isString() ? "text" : "value";
            setting[key] = setting[key] == change.mValue ? change.mOther : change.mValue;
            entry = setting;
        }
    }
    backup["settings"] = settings;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return {};
    file.write(QJsonDocument(backup).toJson());
    return path;
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

bool KdScreenshots::SaveInEachLook(KdMainWindow& window, const QString& directory,
                                   const QString& name) {
    bool saved = true;
    for (const _SLook& look : Looks()) {
        QApplication::setPalette(look.mPalette);
        saved &= Save(window, QDir(directory).filePath(QString("%1-%2.png").arg(name, look.mName)));
    }
    return saved;
}

int KdScreenshots::TakeAll(KdMainWindow& window, const QString& directory, int openWaitMs) {
    if (!QDir().mkpath(directory)) {
        std::fprintf(stderr, "kaldo-utility: cannot create %s\n", qPrintable(directory));
        return 1;
    }
    const std::vector<_SLook> looks = Looks();

    const bool open =
        WaitFor([&] { return window.menuView()->dataSource() != nullptr; }, openWaitMs);
    const QDir dir(directory);
    QTemporaryDir backupDir;
    const QString backup = open ? ChangedBackup(window, backupDir) : QString();
    bool saved = true;
    int shots = 0;
    for (const _SLook& look : looks) {
        QApplication::setPalette(look.mPalette);
        if (!open) {
            saved &= Save(window, dir.filePath(QString("no-switcher-%1.png").arg(look.mName)));
            continue;
        }
        KdMenuView* menu = window.menuView();
        for (int row = 0; row < menu->numberOfRows(); ++row) {
            if (!menu->selectRowInSafety(row)) continue;
            const QModelIndex page = menu->indexAtRow(row);
            const QString name = QString("%1-%2-%3-%4.png")
                                     .arg(row, 2, 10, QChar('0'))
                                     .arg(FileWord(page.parent().data().toString()),
                                          FileWord(page.data().toString()), look.mName);
            saved &= Save(window, dir.filePath(name));
            ++shots;
        }
        // The message a refused entry leaves.
        if (menu->selectPage("ROI", "General") &&
            TypeRefusedEntry(window, "ROI Move Damp Time", "2..5")) {
            saved &= Save(window, dir.filePath(QString("refused-edit-%1.png").arg(look.mName)));
            ++shots;
        }
        if (auto* page = qobject_cast<KdPrmView*>(window.prmView()->widget()))
            page->closeInformationWindow();
        // The menu bar's Switcher menu, open over the first page: the window's top down to a
        // little below the menu.
        menu->selectRowInSafety(0);
        if (QMenu* open = OpenSwitcherMenu(window)) {
            const int bottom = window.mapFromGlobal(open->geometry().bottomLeft()).y() + 24;
            saved &= Save(window, dir.filePath(QString("menu-%1.png").arg(look.mName)), bottom);
            ++shots;
            window.menuBar()->setActiveAction(nullptr);
            QApplication::processEvents();
        } else {
            std::fprintf(stderr, "kaldo-utility: the Switcher menu did not open\n");
            saved = false;
        }
        // Import Settings' preview of the changed backup, closed without importing.
        if (backup.isEmpty()) {
            saved = false;
        } else {
            QPointer<KdImportDialog> preview =
                KdSettingsTransfer::importFrom(&window, window.currentDevice(), backup);
            if (WaitFor([preview] { return !preview || !preview->isBusy(); }, 30000) && preview &&
                preview->step() == KdImportDialog::EStep::Preview) {
                preview->resize(preview->width(), 280); // the three rows without empty room
                saved &= Write(preview->grab().toImage(),
                               dir.filePath(QString("import-preview-%1.png").arg(look.mName)));
                ++shots;
            } else {
                std::fprintf(stderr, "kaldo-utility: no import preview: %s\n",
                             preview ? qPrintable(preview->messageLabel()->text()) : "closed");
                saved = false;
            }
            if (preview) preview->close();
            WaitFor([preview] { return !preview; }, 2000);
        }
    }
    if (!open)
        std::fprintf(stderr, "kaldo-utility: no switcher opened within %d ms\n", openWaitMs);
    else
        std::fprintf(stderr, "kaldo-utility: %d screenshots in %s\n", shots,
                     qPrintable(dir.absolutePath()));
    return open && saved ? 0 : 1;
}
