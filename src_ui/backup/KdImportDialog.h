#pragma once

#include "CKdChangeSet.h"
#include "CKdSettingsReport.h"
#include "CKdUsbDevice.h"
#include "LObjPtr_.h"

#include <QDialog>
#include <QPointer>

#include <map>
#include <string>
#include <vector>

class KdSettingsJob;
class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

// Import Settings: checks a backup file whole, reads the switcher's current values and shows
// only what differs (setting, on the switcher, in the file). The groups that `kaldo-ctl restore
// --exclude` leaves out are check boxes that take their rows out of the table and of the write.
// A backup of another serial number or firmware is written only once "Write it to this
// switcher anyway" is checked. Import writes and confirms each setting as kaldo-ctl does and
// shows what was written, confirmed, refused and not confirmed, each by name.
class KdImportDialog : public QDialog {
    Q_OBJECT
public:
    // The table's columns, and the setting's identifier kept on the first column's items.
    enum EColumn { kSetting, kOnSwitcher, kInFile };
    static constexpr int kPrmIDRole = Qt::UserRole;

    KdImportDialog(CKdUsbDevice* device, const QString& path, QWidget* parent = nullptr);
    ~KdImportDialog() override;

    // Checks the file and reads the switcher (on a thread); the preview follows.
    void check();
    // Writes the previewed settings that no checked group leaves out.
    void import();

    bool isBusy() const;
    // The step the window shows.
    enum class EStep { Checking, Failed, Preview, Writing, Done };
    EStep step() const { return mStep; }

    QTableWidget* table() const { return mTable; }
    // The check box of a group ("network", "identity"), or null.
    QCheckBox* groupBox(const QString& group) const;
    // Shown only for a backup of another switcher or firmware; null before the preview.
    QCheckBox* otherSourceBox() const { return mOtherSource; }
    QLabel* messageLabel() const { return mMessage; }
    QPushButton* importButton() const { return mImport; }
    QProgressBar* progressBar() const { return mProgress; }
    // The identifiers of the rows the table shows.
    std::vector<long> shownIDs() const;
    // After the import: the settings by result ("changed", that is confirmed; "refused", "kept",
    // "not confirmed", "not sent") as the backend's records name them.
    std::map<std::string, std::vector<long>> results() const { return mResults; }

signals:
    // The import has written to the switcher (whatever the result): its pages are stale.
    void imported();

protected:
    void reject() override;

private:
    void checked(int status);
    void written(int status);
    void updateFilter();
    bool excluded(long id) const;
    void setBusy(const QString& text);

    LObjPtr_<CKdUsbDevice> mDevice;
    QString mPath;
    EStep mStep = EStep::Checking;
    QPointer<KdSettingsJob> mJob;
    CKdChangeSet mChanges;    // as read from the file
    std::string mDifferences; // what tells the file's source from this switcher, or ""
    std::map<std::string, std::vector<long>> mResults;

    QLabel* mMessage;
    QTableWidget* mTable;
    std::vector<std::pair<QString, QCheckBox*>> mGroups;
    QCheckBox* mOtherSource = nullptr;
    QProgressBar* mProgress;
    QPushButton* mImport;
    QPushButton* mClose;
};
