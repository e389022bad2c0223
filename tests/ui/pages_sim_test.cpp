#include "CKdPageCatalogue.h"
#include "CKdPrmManager.h"
#include "CKdValueText.h"
#include "KdPrmCellView.h"
#include "KdPrmStepper.h"
#include "KdPrmView.h"
#include "LSerialPort.h"
#include "SimProcess.h"

#include <QHash>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <QToolButton>
#include <memory>

namespace {

using W = CKdPageCatalogue::EWidget;

// The row's value as its widgets show it, in kaldo-ctl's words: the unit after a space, a level
// beside the number in brackets.
QString shownText(const KdPrmCellView* cell, const CKdPageCatalogue::_SRow& row) {
    if (cell->popup()) return cell->popup()->currentText();
    if (cell->valueBox()) return cell->valueBox()->text();
    if (cell->nameBox()) return cell->nameBox()->text();
    if (cell->execButton()) return cell->execButton()->text();
    const KdPrmSpinBox* spin = cell->spinBox();
    QString text = spin->textField()->text();
    if (row.mUnit) text += " " + spin->unitBox()->text();
    if (row.mUnitConverter) text += " (" + spin->unitBox()->text() + ")";
    return text;
}

// The row that shows the catalogue row, or null when the page shows it within a value group.
KdPrmCellView* rowCell(const KdPrmView& view, const CKdPageCatalogue::_SRow& row) {
    for (KdPrmCellView* cell : view.findChildren<KdPrmCellView*>())
        if (cell->title() == QString::fromUtf8(row.mLabel)) return cell;
    return nullptr;
}

// Gives the page its session and services the session, as the window's timer does, until the
// page's reading has ended.
bool openPage(KdPrmView& view, CKdPrmManager& session) {
    view.setPrmManager(&session);
    return QTest::qWaitFor(
        [&] {
            session.Service();
            return !view.isReading();
        },
        10000);
}

} // namespace

class PagesSimTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void everyPageShowsTheSwitchersValues_data();
    void everyPageShowsTheSwitchersValues();
    void everyEditableRowChangesTheSwitcher();

private:
    // kaldo-ctl's output on the simulator's link (the session must have let it go).
    QString ctl(const QStringList& arguments);
    // kaldo-ctl's dump of every page: "ClassName/id" -> value as the row shows it.
    QHash<QString, QString> dump();
    bool connect();

    std::unique_ptr<SimProcess> mSim;
    CKdPrmManager mSession;
    QHash<QString, QString> mDump;
};

QString PagesSimTest::ctl(const QStringList& arguments) {
    QProcess process;
    process.start(KALDO_CTL_EXE,
                  QStringList{"--device", QString::fromStdString(mSim->Tty())} + arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

QHash<QString, QString> PagesSimTest::dump() {
    // "Group/Leaf (Class)" heads each page; rows are "   ID  LABEL   VALUE".
    QHash<QString, QString> values;
    QString pageClass;
    for (const QString& line : ctl({"dump", "--show-secrets"}).split('\n')) {
        if (line.endsWith(')') && !line.startsWith(' ')) {
            pageClass = line.section('(', -1).chopped(1);
            continue;
        }
        const QString id = line.section(' ', 0, 0, QString::SectionSkipEmpty);
        const char* label = CKdPrmManager::PrmLabel(id.toLong());
        if (!label) continue;
        const QString title = QString::fromUtf8(label);
        const int at = line.indexOf(title, line.indexOf(id) + id.size());
        values[pageClass + "/" + id] = line.mid(at + title.size()).trimmed();
    }
    return values;
}

bool PagesSimTest::connect() {
    auto* port = new LSerialPort(mSim->Tty().c_str());
    port->SetSpeed(115200);
    const bool open = port->Open();
    if (open) mSession.SetDeviceStream(port);
    LObject::ReleaseObject(port);
    for (int attempt = 0; open && attempt < 10; ++attempt)
        if (mSession.IsOnline()) return true;
    return false;
}

void PagesSimTest::initTestCase() {
    mSim = std::make_unique<SimProcess>(std::vector<std::string>{"--serial", "K1PAGE0027"});
    QVERIFY(!mSim->Tty().empty());

    mDump = dump();
    QVERIFY2(mDump.size() > 200, "kaldo-ctl dump printed too little");
    QVERIFY(connect());
}

void PagesSimTest::cleanupTestCase() {
    mSession.SetDeviceStream(nullptr);
    mSim.reset();
}

void PagesSimTest::everyPageShowsTheSwitchersValues_data() {
    QTest::addColumn<const CKdPageCatalogue::_SPage*>("page");
    for (const CKdPageCatalogue::_SPage& page : CKdPageCatalogue::Pages())
        QTest::newRow(page.mClassName) << &page;
}

void PagesSimTest::everyPageShowsTheSwitchersValues() {
    QFETCH(const CKdPageCatalogue::_SPage*, page);
    KdPrmView view(page);
    QVERIFY(openPage(view, mSession));
    for (const CKdPageCatalogue::_SRow& row : page->mRows) {
        const KdPrmCellView* cell = rowCell(view, row);
        if (!cell) continue; // an address part: value_fields_test
        const QString shown = shownText(cell, row);
        const QString key = QString::fromUtf8(page->mClassName) + "/" + QString::number(row.mPrmID);
        QVERIFY2(mDump.contains(key), qPrintable(key));
        QCOMPARE(shown, mDump[key]);
        QCOMPARE(shown, QString::fromUtf8(CKdValueText::RowText(mSession, row).CString()));
    }
}

void PagesSimTest::everyEditableRowChangesTheSwitcher() {
    // Each row edited as a user would, through its widget; then kaldo-ctl, with the link handed
    // over, must print what the row showed after the edit, and that must differ from before.
    QHash<QString, QString> edited;
    for (const CKdPageCatalogue::_SPage& page : CKdPageCatalogue::Pages()) {
        KdPrmView view(&page);
        QVERIFY(openPage(view, mSession));
        for (const CKdPageCatalogue::_SRow& row : page.mRows) {
            KdPrmCellView* cell = rowCell(view, row);
            if (!cell) continue; // an address part: value_fields_test
            const QString before = shownText(cell, row);
            if (KdPrmPopUpButton* popup = cell->popup()) {
                emit popup->activated((popup->currentIndex() + 1) % popup->count());
            } else if (KdPrmSpinBox* spin = cell->spinBox()) {
                spin->stepper()->upButton()->click();
                if (shownText(cell, row) == before) spin->stepper()->downButton()->click();
            } else if (KdPrmNameBox* name = cell->nameBox()) {
                name->setText(QString("Edit %1").arg(row.mPrmID));
                emit name->editingFinished();
            } else {
                continue; // read-only values and execute buttons
            }
            const QString after = shownText(cell, row);
            const QString key =
                QString::fromUtf8(page.mClassName) + "/" + QString::number(row.mPrmID);
            QVERIFY2(after != before, qPrintable(key));
            edited[key] = after;
        }
    }
    mSession.RequestParameter(120, 1, CKdPrmManager::kRequestWaitMs); // every write answered
    mSession.SetDeviceStream(nullptr);
    mDump = dump();
    QVERIFY(edited.size() > 150);
    for (auto it = edited.cbegin(); it != edited.cend(); ++it)
        QCOMPARE(mDump.value(it.key()), it.value());
    QVERIFY(connect());
}

QTEST_MAIN(PagesSimTest)
#include "pages_sim_test.moc"
