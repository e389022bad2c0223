// Export Settings and Import Settings against kaldo-sim: the file kaldo-ctl writes, the preview of
// what differs, the confirmation for another unit, results of a lossy link, and the export before
// a firmware update.
#include "CKdUsbDevice.h"
#include "Ctl.h"
#include "KdImportDialog.h"
#include "KdMainWindow.h"
#include "KdSettingsJob.h"
#include "KdSettingsTransfer.h"
#include "KdUpdateFileSection.h"
#include "KdUpdateWindow.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <fstream>
#include <sys/stat.h>

namespace {
using Ids = std::vector<long>;

// A backup of kaldo-sim's default unit holding entries (each "ID": VALUE, or "ID": "TEXT").
std::string Backup(const std::vector<std::pair<long, std::string>>& entries,
                   const std::string& serial = "K1SIM00001") {
    std::string text = R"({"format": "kaldo-1 settings", "version": 1, "serial": ")" + serial +
                       R"(", "software": "01.05", "fpga": "02.03", "settings": [)";
    for (const auto& [id, value] : entries) {
        text += text.back() == '[' ? "\n" : ",\n";
        text += "{\"id\": " + std::to_string(id) +
                (value[0] == '"' ? ", \"length\": 64, \"text\": " : ", \"value\": ") + value + "}";
    }
    return text + "]}\n";
}

Ids Sorted(Ids ids) {
    std::sort(ids.begin(), ids.end());
    return ids;
}

int Mode(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}
} // namespace

class SettingsTransferTest : public QObject {
    Q_OBJECT

    QTemporaryDir mFiles;
    QWidget mParent;

    std::string File(const char* name) const { return mFiles.filePath(name).toStdString(); }
    std::string Write(const char* name, const std::string& text) const {
        std::ofstream(File(name)) << text;
        return File(name);
    }
    // A device for the simulator's terminal, as the window lists one.
    static LObjPtr_<CKdUsbDevice> Device(const Sim& sim) {
        LObjPtr_<CKdUsbDevice> device = new CKdUsbDevice(1, {}, sim.Tty().c_str());
        device->ReleaseObject();
        return device;
    }
    // The import window for path once its preview (or failure) is shown.
    KdImportDialog* Preview(CKdUsbDevice* device, const std::string& path) {
        KdImportDialog* dialog =
            KdSettingsTransfer::importFrom(&mParent, device, QString::fromStdString(path));
        if (!QTest::qWaitFor([dialog] { return !dialog->isBusy(); }, 20000)) return nullptr;
        return dialog;
    }

private slots:
    void initTestCase() {
        QVERIFY(mFiles.isValid());
        mParent.show();
    }

    void ExportWritesWhatKaldoCtlBackupWrites() {
        Sim sim;
        const std::string ctlFile = File("ctl.json");
        ASSERT_OK(sim, {"backup", ctlFile});
        LObjPtr_<CKdUsbDevice> device = Device(sim);
        const std::string path = File("window.json");
        std::optional<std::pair<bool, QString>> result;
        QVERIFY(KdSettingsTransfer::exportTo(
            &mParent, device, QString::fromStdString(path),
            [&result](bool saved, const QString& message) { result.emplace(saved, message); }));
        QTRY_VERIFY_WITH_TIMEOUT(result, 20000);
        QVERIFY2(result->first, qPrintable(result->second));
        QCOMPARE(result->second, QString::fromStdString("180 settings saved to " + path));
        QCOMPARE(ReadFile(path), ReadFile(ctlFile));
        QCOMPARE(Mode(path), 0600);

        // A file that cannot be made is a failure with its reason, and the link goes back.
        result.reset();
        QVERIFY(KdSettingsTransfer::exportTo(
            &mParent, device, mFiles.filePath("missing/dir.json"),
            [&result](bool saved, const QString& message) { result.emplace(saved, message); }));
        QTRY_VERIFY_WITH_TIMEOUT(result, 20000);
        QVERIFY(!result->first);
        QVERIFY2(result->second.contains("No such file or directory"), qPrintable(result->second));
        QVERIFY(device->PrmManager());
    }

    // Only settings that differ are shown; the groups' boxes take theirs out of the table and
    // out of the write.
    void PreviewShowsWhatDiffersAndTheGroupsFilterIt() {
        Sim sim;
        LObjPtr_<CKdUsbDevice> device = Device(sim);
        // 103 and 901 hold the switcher's values; 760 is a name, 903 the address.
        const std::string path =
            Write("differs.json",
                  Backup({{102, "1"}, {103, "0"}, {760, "\"Lab 2\""}, {901, "168"}, {903, "201"}}));
        KdImportDialog* dialog = Preview(device, path);
        QVERIFY(dialog);
        QCOMPARE(int(dialog->step()), int(KdImportDialog::EStep::Preview));
        QVERIFY(!dialog->otherSourceBox()); // the same unit and firmware
        QCOMPARE(Sorted(dialog->shownIDs()), (Ids{102, 760, 903}));
        QTableWidget* table = dialog->table();
        for (int row = 0; row < table->rowCount(); ++row)
            if (table->item(row, KdImportDialog::kSetting)->text() == "IP Address 4th") {
                QCOMPARE(table->item(row, KdImportDialog::kOnSwitcher)->text(), "200");
                QCOMPARE(table->item(row, KdImportDialog::kInFile)->text(), "201");
            }
        struct Case {
            bool network, identity;
            Ids shown;
        };
        const Case cases[] = {
            {true, false, {102, 760}},
            {true, true, {102}},
            {false, true, {102, 903}},
        };
        for (const Case& each : cases) {
            dialog->groupBox("network")->setChecked(each.network);
            dialog->groupBox("identity")->setChecked(each.identity);
            QCOMPARE(Sorted(dialog->shownIDs()), each.shown);
        }
        QVERIFY(dialog->importButton()->isEnabled());
        dialog->importButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(int(dialog->step()), int(KdImportDialog::EStep::Done), 20000);
        QCOMPARE(dialog->results()["changed"], (Ids{102, 903}));
        QVERIFY2(dialog->messageLabel()->text().contains(
                     "Written: 2 settings.\nConfirmed (2): Main In H Flip, IP Address 4th\n"
                     "Refused (0): none\nUnconfirmed (0): none"),
                 qPrintable(dialog->messageLabel()->text()));
        dialog->close();
        device->CloseDevice(); // frees the terminal for kaldo-ctl
        QCOMPARE(sim.Get("102", true), "1");
        QCOMPARE(sim.Get("903", true), "201");
        QCOMPARE(sim.Get("760"), std::string()); // left out
    }

    // A backup of another serial number or firmware is written only once the box is checked; a
    // wrong file is refused whole, with each problem.
    void AnotherUnitNeedsTheConfirmationAndAWrongFileNothing() {
        Sim sim;
        LObjPtr_<CKdUsbDevice> device = Device(sim);
        KdImportDialog* dialog =
            Preview(device, Write("other.json", Backup({{102, "1"}}, "K1OTHER")));
        QVERIFY(dialog);
        QCheckBox* anyway = dialog->otherSourceBox();
        QVERIFY(anyway);
        QVERIFY(!anyway->isChecked());
        QVERIFY2(
            dialog->messageLabel()->text().contains("serial number K1OTHER, this one K1SIM00001"),
            qPrintable(dialog->messageLabel()->text()));
        QVERIFY(!dialog->importButton()->isEnabled());
        anyway->setChecked(true);
        QVERIFY(dialog->importButton()->isEnabled());
        dialog->close();

        dialog = Preview(device, Write("wrong.json", Backup({{102, "7"}, {989, "1"}})));
        QVERIFY(dialog);
        QCOMPARE(int(dialog->step()), int(KdImportDialog::EStep::Failed));
        QVERIFY(!dialog->importButton()->isEnabled());
        QCOMPARE(dialog->table()->rowCount(), 2);
        QVERIFY2(
            dialog->messageLabel()->text().contains("2 entries are wrong; nothing was written"),
            qPrintable(dialog->messageLabel()->text()));
        dialog->close();

        // A window deleted while it reads (its parent closed) gives the link back.
        dialog = KdSettingsTransfer::importFrom(&mParent, device,
                                                QString::fromStdString(File("other.json")));
        QVERIFY(dialog->isBusy());
        delete dialog;
        QTRY_VERIFY_WITH_TIMEOUT(device->PrmManager(), 20000);
        device->CloseDevice();
        QCOMPARE(sim.Get("102", true), "0");
    }

    // Every second request is lost, and so is every second copy sent again: each setting is
    // confirmed or told as not confirmed, and each confirmed one holds the file's value.
    void LostAnswersGiveAPartialResultThatSaysSo() {
        Sim sim({"--drop-every", "2"});
        LObjPtr_<CKdUsbDevice> device = Device(sim);
        const Ids ids{102, 103, 104, 112, 113, 114};
        std::vector<std::pair<long, std::string>> entries;
        for (long id : ids)
            entries.emplace_back(id, "1");
        KdImportDialog* dialog = Preview(device, Write("lossy.json", Backup(entries)));
        QVERIFY(dialog);
        QCOMPARE(int(dialog->step()), int(KdImportDialog::EStep::Preview));
        QCOMPARE(Sorted(dialog->shownIDs()), ids);
        dialog->importButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(int(dialog->step()), int(KdImportDialog::EStep::Done), 60000);
        auto results = dialog->results();
        const Ids confirmed = results["changed"], unconfirmed = results["not confirmed"];
        QVERIFY(!confirmed.empty());
        QVERIFY(!unconfirmed.empty());
        Ids all = confirmed;
        all.insert(all.end(), unconfirmed.begin(), unconfirmed.end());
        QCOMPARE(Sorted(all), ids);
        const QString text = dialog->messageLabel()->text();
        QVERIFY2(
            text.contains(QString("Written: 6 settings.\nConfirmed (%1): ").arg(confirmed.size())),
            qPrintable(text));
        QVERIFY2(text.contains(QString("\nUnconfirmed (%1): ").arg(unconfirmed.size())),
                 qPrintable(text));
        dialog->close();
        device->CloseDevice();
        for (long id : confirmed)
            QCOMPARE(sim.Get(std::to_string(id), true), "1");
    }

    // "Export the settings first" (on by default) saves a backup before the update starts; off,
    // the update starts at once.
    void UpdateExportsTheSettingsFirst() {
        for (const bool exportFirst : {true, false}) {
            Sim sim({"--erase-delay-ms", "100", "--reboot-ms", "200"});
            const QString data = mFiles.filePath(exportFirst ? "data-on" : "data-off");
            qputenv("XDG_DATA_HOME", data.toLocal8Bit());
            qputenv("KALDO_DEVICE_DIR", sim.DeviceDir().c_str());
            KdMainWindow main;
            main.show();
            QTRY_VERIFY_WITH_TIMEOUT(main.prmManager(), 20000);
            const QString bin = mFiles.filePath("update.bin");
            std::ofstream(bin.toStdString()) << std::string(5000, 'k');
            QTest::mouseClick(main.updateButton(), Qt::LeftButton);
            QPointer<KdUpdateWindow> window = main.findChild<KdUpdateWindow*>();
            QVERIFY(window);
            QVERIFY(window->exportFirstBox()->isChecked());
            window->exportFirstBox()->setChecked(exportFirst);
            const std::string backup = window->exportPath().toStdString();
            QVERIFY(backup.starts_with(data.toStdString() +
                                       "/kaldo-utility/backups/kaldo-1-K1SIM00001-"));
            window->fileSOFT()->setFilePath(bin);
            QTest::mouseClick(window->updateButton(), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(window->confirmation(), 20000);
            for (QAbstractButton* button : window->confirmation()->buttons())
                if (button->text() == "Update") button->click();
            // The updater starts only once the backup is complete.
            QTRY_VERIFY_WITH_TIMEOUT(window.isNull() || window->updater(), 20000);
            QCOMPARE(Mode(backup), exportFirst ? 0600 : -1);
            if (exportFirst)
                QVERIFY(ReadFile(backup).starts_with(R"({"format":"kaldo-1 settings")"));
            QTRY_VERIFY_WITH_TIMEOUT(!main.isUpdateWindowOpen(), 30000);
        }
    }

private:
    static void ASSERT_OK(const Sim& sim, std::vector<std::string> arguments) {
        const CtlResult result = sim.Ctl(std::move(arguments));
        QVERIFY2(result.code == kOK, result.err.c_str());
    }
};

QTEST_MAIN(SettingsTransferTest)
#include "settings_transfer_test.moc"
