#include "CKdPrmManager.h"
#include "KdImportDialog.h"
#include "KdKeyboardPanelWindow.h"
#include "KdMainWindow.h"
#include "KdMenuView.h"
#include "KdPrmExecButton.h"
#include "KdPrmRevealButton.h"
#include "PeerPackets.h"
#include "PtyPeer.h"
#include "SimProcess.h"

#include <QAction>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using Bytes = ScriptedPeer::Bytes;
using Wires = std::vector<Bytes>;
using EState = CKdUnsavedChanges::EState;

namespace {

using PeerPackets::Set;

// The packets the peer received until count have come (or five seconds), and those that follow
// within 300 ms, without their sequence numbers.
Wires Collect(PtyPeer& peer, size_t count) {
    return PeerPackets::Collect(peer, count, 300);
}

// The packets other than parameter and version requests (0x10, 0x15): what changed the switcher.
Wires Writes(const Wires& wires) {
    Wires writes;
    for (const Bytes& wire : wires)
        if (wire[2] != 0x10 && wire[2] != 0x15) writes.push_back(wire);
    return writes;
}

// A key as xcb gives it: the key's place (XKB keycode) and the character.
void SendKey(QWidget* widget, quint32 scanCode, int key, Qt::KeyboardModifiers modifiers) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, scanCode, 0, 0);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, scanCode, 0, 0);
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &release);
}

// Clicks the button of the confirmation on the menu's execute button whose text is verb.
bool Confirm(KdMainWindow& window, const QString& verb) {
    KdPrmExecButton* exec = window.menuExecButton();
    QMessageBox* alert = exec ? exec->confirmAlert() : nullptr;
    if (!alert) return false;
    for (QAbstractButton* button : alert->buttons())
        if (button->text() == verb) button->click();
    return QTest::qWaitFor([&] { return !exec->confirmAlert(); });
}

// Picks path in the next file dialog once it shows, as a user would; whether it showed.
std::shared_ptr<bool> ChooseFile(const QString& path) {
    auto chosen = std::make_shared<bool>(false);
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, path, chosen] {
        QFileDialog* dialog = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* shown = qobject_cast<QFileDialog*>(top); shown && shown->isVisible())
                dialog = shown;
        if (!dialog) return;
        // Typed into the name field, as selectFile() keeps a name the dialog was opened with.
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        if (!name) return;
        name->setText(path);
        static_cast<QDialog*>(dialog)->accept(); // QFileDialog's own is protected
        *chosen = true;
        poll->deleteLater();
    });
    poll->start(20);
    return chosen;
}

// Answers the next unsaved-changes warning with button once it shows; whether it showed.
std::shared_ptr<bool> AnswerUnsavedWarning(KdMainWindow& window,
                                           QMessageBox::StandardButton button) {
    auto shown = std::make_shared<bool>(false);
    QTimer::singleShot(100, &window, [&window, button, shown] {
        auto* box = window.findChild<QMessageBox*>("unsavedWarning");
        if (!box) return;
        *shown = true;
        box->button(button)->click();
    });
    return shown;
}

bool NodeIsFree(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    const bool free = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (fd >= 0) close(fd);
    return free;
}

void Activate(KdMainWindow& window) {
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.menuView()->setFocus();
}

} // namespace

// The menu bar's actions on the wire, the unsaved-changes state, pages from the keyboard and the
// remembered page.
class MainMenuTest : public QObject {
    Q_OBJECT

    QTemporaryDir mRecords;
    QTemporaryDir mConfig;

private slots:
    void initTestCase() {
        // Settings of this run only.
        qputenv("XDG_CONFIG_HOME", mConfig.path().toLocal8Bit());
    }
    void init() { qputenv("KALDO_DEVICE_DIR", mRecords.path().toLocal8Bit()); }

    // Save, Factory Reset and Reboot send what the Others page's buttons send, after the same
    // confirmations; Ctrl+S reaches the action from the menu tree and is no panel key.
    void SwitcherMenuOnTheWire() {
        PtyPeer peer;
        KdMainWindow window;
        QVERIFY(window.addManualDevice(peer.Path().c_str()));
        QTRY_VERIFY(window.prmManager());
        Activate(window);
        QTest::qWait(300);
        peer.TakePackets();

        // D ("Default") with Ctrl, no shortcut of the window: no panel key either.
        SendKey(window.menuView(), 40, Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(Collect(peer, 0), Wires{});
        SendKey(window.menuView(), 40, Qt::Key_D, Qt::NoModifier);
        QCOMPARE(Writes(Collect(peer, 1)), (Wires{Set(175, {2})}));

        // S is "Slow"; with Ctrl it saves.
        SendKey(window.menuView(), 39, Qt::Key_S, Qt::ControlModifier);
        const Wires saved = Collect(peer, 2);
        QVERIFY(!saved.empty());
        QCOMPARE(saved.front(), Set(1000, {1}));
        QCOMPARE(Writes(saved), Wires{Set(1000, {1})});
        QCOMPARE(saved.back()[2], 0x10); // then the open page is read again

        // This switcher never answers a write: the "Slow" is still unsaved, and each action
        // that would lose it warns first.
        QCOMPARE(window.unsavedState(), EState::Unsaved);
        std::shared_ptr<bool> warned = AnswerUnsavedWarning(window, QMessageBox::Discard);
        window.action("actionFactoryReset")->trigger();
        QVERIFY(*warned);
        QVERIFY(Confirm(window, "Cancel"));
        QCOMPARE(Collect(peer, 0), Wires{});
        warned = AnswerUnsavedWarning(window, QMessageBox::Discard);
        window.action("actionFactoryReset")->trigger();
        QVERIFY(*warned);
        QVERIFY(Confirm(window, "Reset"));
        QCOMPARE(Writes(Collect(peer, 2)), Wires{Set(999, {1})});

        // Save in the warning saves before the reboot.
        warned = AnswerUnsavedWarning(window, QMessageBox::Save);
        window.action("actionReboot")->trigger();
        QVERIFY(*warned);
        QVERIFY(Confirm(window, "Reboot"));
        QCOMPARE(Writes(Collect(peer, 2)),
                 (Wires{Set(1000, {1}), ScriptedPeer::Response(0x40, 0, {})}));
    }

    // Edits mark the switcher, an accepted save clears the mark; a Disconnect (after a warning)
    // leaves the node to other programs and the state becomes unknown.
    void UnsavedChangesAndDisconnect() {
        SimProcess sim({});
        qputenv("KALDO_DEVICE_DIR", sim.DeviceDir().c_str());
        KdMainWindow window;
        QTRY_VERIFY(window.prmManager());
        QCOMPARE(window.unsavedState(), EState::Unknown);
        QCOMPARE(window.unsavedIndicator()->text(), "May have unsaved changes");
        QVERIFY(!window.unsavedSaveButton()->isHidden());
        QCOMPARE(window.serialStatus()->text(), "Serial K1SIM00001");

        QVERIFY(window.prmManager()->SetValue(102, 1, 0)); // "Main In H Flip" on
        QTRY_COMPARE(window.statusBar()->currentMessage(),
                     "Main In H Flip: saved to the switcher's working memory.");
        QCOMPARE(window.unsavedState(), EState::Unsaved);
        QCOMPARE(window.unsavedIndicator()->text(), "Unsaved changes");
        QVERIFY(window.prmManager()->SendExecPacket(105, 1)); // "Main In Format" is read-only
        QTRY_COMPARE(window.statusBar()->currentMessage(),
                     "The switcher refused Main In Format and keeps its own value.");

        window.unsavedSaveButton()->click();
        QTRY_COMPARE(window.unsavedState(), EState::Saved);
        QVERIFY(window.unsavedSaveButton()->isHidden());
        QVERIFY(window.statusBar()->currentMessage().startsWith("Saved to the switcher"));

        QVERIFY(window.prmManager()->SetValue(102, 0, 0));
        QTRY_COMPARE(window.unsavedState(), EState::Unsaved);
        QVERIFY(!NodeIsFree(sim.Tty()));

        // Cancel keeps the session (and the window, and no update starts); Discard goes ahead.
        std::shared_ptr<bool> warned = AnswerUnsavedWarning(window, QMessageBox::Cancel);
        QVERIFY(!window.close());
        QVERIFY(*warned);
        warned = AnswerUnsavedWarning(window, QMessageBox::Cancel);
        window.action("actionUpdate")->trigger();
        QVERIFY(*warned);
        QVERIFY(!window.isUpdateWindowOpen());
        warned = AnswerUnsavedWarning(window, QMessageBox::Cancel);
        window.action("actionDisconnect")->trigger();
        QVERIFY(*warned);
        QVERIFY(window.prmManager());
        warned = AnswerUnsavedWarning(window, QMessageBox::Discard);
        window.action("actionDisconnect")->trigger();
        QVERIFY(*warned);
        QVERIFY(!window.prmManager());
        QVERIFY(window.isDisconnected());
        QCOMPARE(window.devListView()->item(0, 0)->text(), "KALDO-1 (K1SIM00001) (disconnected)");
        QVERIFY(NodeIsFree(sim.Tty()));
        QTest::qWait(500); // the timer does not open it again
        QVERIFY(!window.prmManager());
        QVERIFY(!window.action("actionSave")->isEnabled());
        QVERIFY(window.action("actionConnect")->isEnabled());

        window.action("actionConnect")->trigger();
        QTRY_VERIFY(window.prmManager());
        QCOMPARE(window.devListView()->item(0, 0)->text(), "KALDO-1 (K1SIM00001)");
        QVERIFY(!NodeIsFree(sim.Tty()));
        QCOMPARE(window.unsavedState(), EState::Unknown);
        QCOMPARE(window.unsavedIndicator()->text(), "May have unsaved changes");
    }

    // File › Export Settings writes a backup (0600) of what the switcher holds; File › Import
    // Settings shows what the backup would change, writes it back and leaves the switcher unsaved.
    void ExportAndImportFromTheFileMenu() {
        SimProcess sim({});
        qputenv("KALDO_DEVICE_DIR", sim.DeviceDir().c_str());
        KdMainWindow window;
        Activate(window);
        QTRY_VERIFY(window.prmManager());
        QTemporaryDir files;
        const QString backup = files.filePath("k1.json");

        std::shared_ptr<bool> chosen = ChooseFile(backup);
        window.action("actionExport")->trigger();
        QVERIFY(*chosen);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(backup).size() > 0, 20000);
        struct stat info {};
        QCOMPARE(stat(QFile::encodeName(backup).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0600u);
        QTRY_VERIFY_WITH_TIMEOUT(window.prmManager(), 20000); // the link is back

        QVERIFY(window.prmManager()->SetValue(102, 1, 0)); // "Main In H Flip" on
        window.unsavedSaveButton()->click();
        QTRY_COMPARE(window.unsavedState(), EState::Saved);

        chosen = ChooseFile(backup);
        window.action("actionImport")->trigger();
        QVERIFY(*chosen);
        auto* import = window.findChild<KdImportDialog*>();
        QVERIFY(import);
        QTRY_COMPARE_WITH_TIMEOUT(int(import->step()), int(KdImportDialog::EStep::Preview), 20000);
        QCOMPARE(import->shownIDs(), std::vector<long>{102});
        import->importButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(int(import->step()), int(KdImportDialog::EStep::Done), 20000);
        QCOMPARE(import->results()["changed"], std::vector<long>{102}); // and confirmed
        QTRY_COMPARE(window.unsavedState(), EState::Unsaved);
        QTRY_COMPARE_WITH_TIMEOUT(window.prmManager() ? window.prmManager()->Value(102, 0) : -1, 0,
                                  20000);
    }

    // Ctrl+Page Down / Up move through the tree's pages; the page stays across a reconnect and
    // the window's restart.
    void PagesFromTheKeyboardAreRemembered() {
        PtyPeer peer;
        {
            KdMainWindow window;
            QVERIFY(window.addManualDevice(peer.Path().c_str()));
            QTRY_VERIFY(window.prmManager());
            Activate(window);
            KdMenuView* menu = window.menuView();
            QCOMPARE(menu->selectedRow(), 2); // Input › Main
            QTest::keyClick(menu, Qt::Key_PageUp, Qt::ControlModifier);
            QTest::qWait(200);
            QCOMPARE(menu->selectedRow(), 2); // the first page
            QTest::keyClick(menu, Qt::Key_PageDown, Qt::ControlModifier);
            QTRY_COMPARE(menu->selectedRow(), 3);
            QTest::keyClick(menu, Qt::Key_PageDown, Qt::ControlModifier);
            QTRY_COMPARE(menu->selectedRow(), 4);
            QTest::keyClick(menu, Qt::Key_PageDown, Qt::ControlModifier);
            QTRY_COMPARE(menu->selectedRow(), 6); // over the group "Still"
            QTest::keyClick(menu, Qt::Key_PageUp, Qt::ControlModifier);
            QTRY_COMPARE(menu->selectedRow(), 4);
            peer.TakePackets();
            QVERIFY(Writes(Collect(peer, 0)).empty()); // no panel key reached the switcher

            window.reconnectDevice();
            QVERIFY(!window.prmManager());
            QTRY_VERIFY(window.prmManager());
            QCOMPARE(menu->selectedRow(), 4);
        }
        KdMainWindow again;
        QVERIFY(again.addManualDevice(peer.Path().c_str()));
        QTRY_VERIFY(again.prmManager());
        QCOMPARE(again.menuView()->selectedRow(), 4);
    }

    // Show Secrets unmasks every secret field, also on the pages opened after it; the Keyboard
    // Panel window lists what each panel key does.
    void ShowSecretsAndKeyboardPanel() {
        PtyPeer peer;
        KdMainWindow window;
        QVERIFY(window.addManualDevice(peer.Path().c_str()));
        QTRY_VERIFY(window.prmManager());
        // The echo modes of the open page's secret fields.
        auto echoModes = [&] {
            QList<QLineEdit::EchoMode> modes;
            for (auto* button : window.prmView()->widget()->findChildren<KdPrmRevealButton*>())
                modes << qobject_cast<QLineEdit*>(button->parentWidget())->echoMode();
            return modes;
        };
        using Modes = QList<QLineEdit::EchoMode>;
        while (echoModes().isEmpty() && window.action("actionNextPage")->isEnabled()) {
            const int row = window.menuView()->selectedRow();
            window.action("actionNextPage")->trigger();
            QVERIFY(window.menuView()->selectedRow() > row);
        }
        QCOMPARE(echoModes(), Modes({QLineEdit::Password, QLineEdit::Password})); // SNMP
        window.action("actionShowSecrets")->trigger();
        QCOMPARE(echoModes(), Modes({QLineEdit::Normal, QLineEdit::Normal}));
        window.action("actionNextPage")->trigger();
        window.action("actionNextPage")->trigger(); // USB Only › Others: the password
        QCOMPARE(echoModes(), Modes({QLineEdit::Normal}));
        window.action("actionShowSecrets")->trigger();
        QCOMPARE(echoModes(), Modes({QLineEdit::Password}));

        window.action("actionKeyboardPanel")->trigger();
        auto* panel = window.findChild<KdKeyboardPanelWindow*>();
        QVERIFY(panel && panel->isVisible());
        QSet<QStringList> rows;
        for (int row = 0; row < panel->table()->rowCount(); ++row)
            rows.insert({panel->table()->item(row, 0)->text(), panel->table()->item(row, 1)->text(),
                         panel->table()->item(row, 2)->text()});
        for (const QStringList& row :
             {QStringList{"S", "", "Slow"}, QStringList{"1", "Shift", "1 with Shift"},
              QStringList{"1", "", "1"}, QStringList{"Keypad 2", "Num Lock", "TiltDown"},
              QStringList{"Backspace", "", "Center"}})
            QVERIFY2(rows.contains(row), qPrintable(row.join(" | ")));
    }
};

QTEST_MAIN(MainMenuTest)
#include "main_menu_test.moc"
