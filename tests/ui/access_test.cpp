#include "KdMainWindow.h"

#include <QMessageBox>
#include <QScrollArea>
#include <QTableWidget>
#include <QtTest>

#include <filesystem>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

// A switcher whose serial node exists but may not be opened: the window says so once and names
// the udev rule. Runs as an unprivileged user (root opens every node).
class AccessTest : public QObject {
    Q_OBJECT

private slots:
    void PermissionIsToldOnce() {
        QTemporaryDir dir;
        const QString node = dir.filePath("ttyACM0");
        QFile file(node);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(chmod(node.toLocal8Bit().constData(), 0) == 0);

        KdMainWindow window;
        window.show();
        QVERIFY(window.addManualDevice(node.toLocal8Bit().constData()));
        QTRY_VERIFY(!window.findChildren<QMessageBox*>().isEmpty());
        const QList<QMessageBox*> boxes = window.findChildren<QMessageBox*>();
        QCOMPARE(boxes.size(), 1);
        QVERIFY(boxes.first()->text().contains(node));
        QVERIFY(boxes.first()->informativeText().contains("packaging/70-kaldo.rules"));
        QVERIFY(boxes.first()->informativeText().contains("udevadm control --reload-rules"));
        QVERIFY(boxes.first()->informativeText().contains("udevadm trigger"));
        QCOMPARE(boxes.first()->windowModality(), Qt::WindowModal);

        // Later attempts fail the same way and say nothing more; the page area keeps saying it.
        QTest::qWait(10 * KdMainWindow::kTimerIntervalMs);
        QCOMPARE(window.findChildren<QMessageBox*>().size(), 1);
        QVERIFY(!window.prmManager());
        auto* notice = qobject_cast<QLabel*>(window.prmView()->widget());
        QVERIFY(notice);
        QVERIFY(notice->text().contains("no permission"));
        QVERIFY(notice->text().contains(node));
    }
};

int main(int argc, char* argv[]) {
    if (geteuid() == 0 &&
        (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
        perror("dropping root");
        return 1;
    }
    // A runtime directory and a home of the unprivileged user's own.
    char runtime[] = "/tmp/kaldo-ui-access-XXXXXX";
    if (!mkdtemp(runtime)) return 1;
    setenv("XDG_RUNTIME_DIR", runtime, 1);
    setenv("HOME", runtime, 1);
    setenv("KALDO_DEVICE_DIR", (std::string(runtime) + "/devices").c_str(), 1);
    int result;
    {
        QApplication app(argc, argv);
        AccessTest test;
        result = QTest::qExec(&test, argc, argv);
    }
    std::error_code ignored;
    std::filesystem::remove_all(runtime, ignored);
    return result;
}

#include "access_test.moc"
