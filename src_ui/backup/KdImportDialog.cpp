#include "KdImportDialog.h"

#include "CKdSettingsFile.h"
#include "CKdSettingsSession.h"
#include "KdSettingsJob.h"
#include "KdSettingsStatus.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
using Json = CKdSettingsReport::Json;

// The check box of each group that a restore can leave out.
struct _SGroupText {
    const char* mGroup;
    const char* mText;
};
constexpr _SGroupText kGroupTexts[] = {
    {"network", QT_TRANSLATE_NOOP("KdImportDialog", "Leave out the network address")},
    {"identity", QT_TRANSLATE_NOOP("KdImportDialog", "Leave out the unit's names")},
};

// What the result column says for each status of the backend's records.
struct _SResultText {
    const char* mStatus;
    const char* mText;
};
constexpr _SResultText kResultTexts[] = {
    {"changed", QT_TRANSLATE_NOOP("KdImportDialog", "Confirmed")},
    {"refused", QT_TRANSLATE_NOOP("KdImportDialog", "Refused")},
    {"kept", QT_TRANSLATE_NOOP("KdImportDialog", "Refused: kept another value")},
    {"not confirmed", QT_TRANSLATE_NOOP("KdImportDialog", "Not confirmed (no answer)")},
    {"not sent", QT_TRANSLATE_NOOP("KdImportDialog", "Not sent")},
};

QString Text(const Json& record, const char* key) {
    const auto member = record.find(key);
    return member != record.end() && member->is_string()
               ? QString::fromStdString(member->get<std::string>())
               : QString();
}

// The part of a record's line after "ID LABEL: ".
QString Detail(const std::string& line) {
    const size_t colon = line.find(": ");
    return QString::fromStdString(colon == std::string::npos ? line : line.substr(colon + 2));
}
} // namespace

KdImportDialog::KdImportDialog(CKdUsbDevice* device, const QString& path, QWidget* parent)
    : QDialog(parent), mDevice(device), mPath(path), mMessage(new QLabel(this)),
      mTable(new QTableWidget(0, 3, this)), mProgress(new QProgressBar(this)),
      mImport(new QPushButton(tr("Import"), this)), mClose(new QPushButton(tr("Close"), this)) {
    setWindowTitle(tr("Import Settings: %1").arg(QFileInfo(path).fileName()));
    setWindowModality(Qt::WindowModal);
    mMessage->setWordWrap(true);
    mMessage->setTextInteractionFlags(Qt::TextSelectableByMouse);
    mTable->setHorizontalHeaderLabels({tr("Setting"), tr("On the switcher"), tr("In the file")});
    mTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    mTable->verticalHeader()->hide();
    mTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    mTable->setAccessibleName(tr("Settings that differ"));

    auto* groups = new QHBoxLayout;
    for (const _SGroupText& text : kGroupTexts) {
        auto* box = new QCheckBox(tr(text.mText), this);
        box->setToolTip(tr("Keep this switcher's own values, as kaldo-ctl restore --exclude %1 "
                           "does")
                            .arg(text.mGroup));
        box->setEnabled(false);
        connect(box, &QCheckBox::toggled, this, &KdImportDialog::updateFilter);
        groups->addWidget(box);
        mGroups.emplace_back(text.mGroup, box);
    }
    groups->addStretch();

    mImport->setEnabled(false);
    mImport->setAutoDefault(false);
    mClose->setAutoDefault(false);
    connect(mImport, &QPushButton::clicked, this, &KdImportDialog::import);
    connect(mClose, &QPushButton::clicked, this, &KdImportDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(mClose);
    buttons->addWidget(mImport);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(mMessage);
    layout->addLayout(groups);
    layout->addWidget(mTable, 1);
    layout->addWidget(mProgress);
    layout->addLayout(buttons);
    resize(640, 480);
}

KdImportDialog::~KdImportDialog() {
    delete mJob; // waits for its thread, which fills this window's members
}

QCheckBox* KdImportDialog::groupBox(const QString& group) const {
    for (const auto& [name, box] : mGroups)
        if (name == group) return box;
    return nullptr;
}

bool KdImportDialog::isBusy() const {
    return mJob && mJob->isRunning();
}

void KdImportDialog::reject() {
    if (!isBusy()) QDialog::reject(); // the switcher is being read or written
}

void KdImportDialog::setBusy(const QString& text) {
    mMessage->setText(text);
    mProgress->setRange(0, 0);
    mProgress->show();
    mImport->setEnabled(false);
    mClose->setEnabled(false);
    for (const auto& group : mGroups)
        group.second->setEnabled(false);
}

void KdImportDialog::check() {
    const QByteArray file = QFile::encodeName(mPath);
    mJob = new KdSettingsJob(
        mDevice,
        [this, file](KdSettingsJob& job, CKdSettingsSession& session) {
            // The whole file is checked before the switcher is asked anything.
            CKdSettingsFile::_SSource source, here;
            if (int status = CKdSettingsFile::Load(session, file.constData(), mChanges, source,
                                                   session.Report()))
                return status;
            if (int status = job.link(session)) return status;
            if (int status = CKdSettingsFile::Here(session, here)) return status;
            mDifferences = CKdSettingsFile::Differences(source, here);
            CKdChangeSet preview = mChanges;
            CKdChangeSet::_SApply how;
            how.mDryRun = true;
            return preview.Apply(session, how);
        },
        this);
    connect(mJob, &KdSettingsJob::progress, this, [this](int done, int total) {
        mProgress->setRange(0, total);
        mProgress->setValue(done);
    });
    connect(mJob, &KdSettingsJob::finished, this, &KdImportDialog::checked);
    setBusy(tr("Checking the file and reading the switcher…"));
    if (!mJob->start()) {
        delete mJob;
        mStep = EStep::Failed;
        mProgress->hide();
        mClose->setEnabled(true);
        mMessage->setText(tr("The switcher's link cannot be opened; nothing was written."));
    }
}

void KdImportDialog::checked(int status) {
    mProgress->hide();
    mClose->setEnabled(true);
    const KdSettingsJob& job = *mJob;
    if (status != KdSettingsStatus::kOK) {
        mStep = EStep::Failed;
        mMessage->setText(tr("Nothing was imported.") + "\n" + job.failures().join('\n'));
        // The file's problems, one a row.
        mTable->setColumnCount(1);
        mTable->setHorizontalHeaderLabels({tr("Problem")});
        for (const QString& note : job.notes()) {
            mTable->insertRow(mTable->rowCount());
            mTable->setItem(mTable->rowCount() - 1, 0, new QTableWidgetItem(note));
        }
        mJob->deleteLater();
        return;
    }
    mStep = EStep::Preview;
    for (const Json& record : job.records()) {
        const int row = mTable->rowCount();
        mTable->insertRow(row);
        auto* setting = new QTableWidgetItem(Text(record, "name"));
        const long id = record.value("id", -1L);
        setting->setData(kPrmIDRole, qlonglong(id));
        setting->setToolTip(QString::number(id));
        mTable->setItem(row, kSetting, setting);
        mTable->setItem(row, kOnSwitcher, new QTableWidgetItem(Text(record, "before")));
        mTable->setItem(row, kInFile, new QTableWidgetItem(Text(record, "after")));
    }
    for (const auto& group : mGroups)
        group.second->setEnabled(true);
    if (!mDifferences.empty()) {
        mOtherSource = new QCheckBox(tr("Write it to this switcher anyway"), this);
        connect(mOtherSource, &QCheckBox::toggled, this, &KdImportDialog::updateFilter);
        static_cast<QVBoxLayout*>(layout())->insertWidget(2, mOtherSource);
    }
    mJob->deleteLater();
    updateFilter();
}

bool KdImportDialog::excluded(long id) const {
    for (const auto& [group, box] : mGroups)
        if (box->isChecked() && CKdSettingsFile::InGroup(group.toStdString(), id)) return true;
    return false;
}

std::vector<long> KdImportDialog::shownIDs() const {
    std::vector<long> ids;
    for (int row = 0; row < mTable->rowCount(); ++row)
        if (!mTable->isRowHidden(row))
            ids.push_back(mTable->item(row, kSetting)->data(kPrmIDRole).toLongLong());
    return ids;
}

void KdImportDialog::updateFilter() {
    if (mStep != EStep::Preview) return;
    for (int row = 0; row < mTable->rowCount(); ++row)
        mTable->setRowHidden(row,
                             excluded(mTable->item(row, kSetting)->data(kPrmIDRole).toLongLong()));
    const int shown = int(shownIDs().size());
    QString text = shown == 1 ? tr("1 setting in the file differs from the switcher.")
                   : shown    ? tr("%1 settings in the file differ from the switcher.").arg(shown)
                              : tr("The switcher already holds the file's settings.");
    if (!mDifferences.empty())
        text += "\n" + tr("The file is not known to come from this switcher and firmware (%1). "
                          "Leave out the network address and the unit's names to keep this "
                          "unit's own.")
                           .arg(QString::fromStdString(mDifferences));
    mMessage->setText(text);
    mImport->setEnabled(shown && (!mOtherSource || mOtherSource->isChecked()));
}

void KdImportDialog::import() {
    if (mStep != EStep::Preview || !mImport->isEnabled()) return;
    CKdChangeSet changes = mChanges;
    changes.Filter([this](long id) { return !excluded(id); });
    mJob = new KdSettingsJob(
        mDevice,
        [changes](KdSettingsJob& job, CKdSettingsSession& session) mutable {
            if (int status = job.link(session)) return status;
            const int status = changes.Apply(session, {});
            session.Report().Note("%s", changes.Summary(false).c_str());
            return status;
        },
        this);
    connect(mJob, &KdSettingsJob::finished, this, &KdImportDialog::written);
    mStep = EStep::Writing;
    setBusy(tr("Writing the settings…"));
    if (!mJob->start()) {
        delete mJob;
        written(KdSettingsStatus::kNoDevice);
    }
}

void KdImportDialog::written(int status) {
    mStep = EStep::Done;
    mProgress->hide();
    mClose->setEnabled(true);
    if (mOtherSource) mOtherSource->setEnabled(false);
    mTable->setRowCount(0);
    mTable->setHorizontalHeaderLabels({tr("Setting"), tr("Result"), tr("Detail")});
    std::map<std::string, QStringList> names;
    if (mJob) {
        const std::vector<Json>& records = mJob->records();
        for (size_t i = 0; i < records.size(); ++i) {
            const std::string state = records[i].value("status", "");
            const QString name = Text(records[i], "name");
            mResults[state].push_back(records[i].value("id", -1L));
            names[state].append(name);
            QString result = QString::fromStdString(state);
            for (const _SResultText& text : kResultTexts)
                if (state == text.mStatus) result = tr(text.mText);
            const int row = mTable->rowCount();
            mTable->insertRow(row);
            mTable->setItem(row, kSetting, new QTableWidgetItem(name));
            mTable->setItem(row, 1, new QTableWidgetItem(result));
            mTable->setItem(row, 2, new QTableWidgetItem(Detail(mJob->lines()[i])));
        }
    }
    const auto list = [&names](std::initializer_list<const char*> states) {
        QStringList all;
        for (const char* state : states)
            all += names[state];
        return all;
    };
    const QStringList confirmed = list({"changed"});
    const QStringList refused = list({"refused", "kept"});
    const QStringList unconfirmed = list({"not confirmed", "not sent"});
    const int writtenCount = int(confirmed.size() + refused.size() + names["not confirmed"].size());
    QStringList lines;
    lines << (writtenCount == 1 ? tr("Written: 1 setting.")
                                : tr("Written: %1 settings.").arg(writtenCount));
    const std::pair<QString, const QStringList&> parts[] = {
        {tr("Confirmed"), confirmed},
        {tr("Refused"), refused},
        {tr("Unconfirmed"), unconfirmed},
    };
    for (const auto& [title, which] : parts)
        lines << tr("%1 (%2): %3")
                     .arg(title)
                     .arg(which.size())
                     .arg(which.isEmpty() ? tr("none") : which.join(", "));
    if (mJob) lines += mJob->failures();
    if (!confirmed.isEmpty())
        lines << tr("The switcher keeps them until it is switched off unless they are saved to "
                    "the switcher.");
    mMessage->setText(lines.join('\n'));
    if (mJob) mJob->deleteLater();
    if (status != KdSettingsStatus::kNoDevice || writtenCount) emit imported();
}
