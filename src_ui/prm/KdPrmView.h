#pragma once

#include "CKdPageCatalogue.h"
#include "CKdPrmManager.h"
#include "KdInfoPopup.h"
#include "LObjPtr_.h"

#include <QPointer>
#include <QWidget>

class KdPrmCellView;
class KdPrmReading;
class LPrmConverter;

// A settings page: one column of 30-point rows, 40 points apart from y = 10, each a title and
// one value widget bound to one parameter of the session; the rows span the page. A page built from a catalogue page
// starts reading its request table, then creates its rows; the reading does not hold up the
// event loop: each widget shows what the session holds until the switcher's answer arrives.
//
// Widgets whose edit takes effect only after a reboot report it with information code 1; the page
// that is in a window then shows the reboot note next to the widget. A number or text entry that
// the switcher cannot take as typed leaves a message in the same kind of note. The page shows one
// note at a time; it follows its widget when the page scrolls and goes when the widget does.
class KdPrmView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kFirstRowY = 10;
    static constexpr int kRowPitch = 40; // 30 of row and 10 of gap
    static constexpr int kWidth = 300;
    static constexpr int kMinimumHeight = 100;
    static constexpr int kDefaultValueWidth = 130;
    // Information codes.
    static constexpr int kInfoNone = 0;
    static constexpr int kInfoNeedsReboot = 1;
    static constexpr const char* kRebootNote = "After saving, the reboot is required to reflect.";
    // Notification posted for an edit with code 1; its sender is the edited widget (a QObject).
    static constexpr const char* kInfoReqNeedsReboot = "InfoReqNeedsReboot";
    // A message about an entry stays longer than the reboot note: it has two lines to read.
    static constexpr double kMessageAliveTime = 10.0;

    // A page of the catalogue, or (null) a page without table and rows.
    explicit KdPrmView(const CKdPageCatalogue::_SPage* page = nullptr, QWidget* parent = nullptr);
    ~KdPrmView() override;

    const CKdPageCatalogue::_SPage* page() const { return mPage; }

    // Stores the session, starts reading the page's parameters, creates the rows and grows the
    // page to hold them. Called once, right after creation; null leaves every widget unbound.
    void setPrmManager(CKdPrmManager* session);
    CKdPrmManager* prmManager() const { return mPrmManager; }

    virtual const CKdPrmManager::_SPrmReqInfo* requestPrmTable() const;
    virtual void createPrmItems();
    // Starts reading the request table, in place of a reading still going; returns at once.
    void requestParameters();
    // Whether requests of the page's reading are still to be answered.
    bool isReading() const;

    int valueWidth() const { return mValueWidth; }
    void setValueWidth(int width) { mValueWidth = width; }
    int cellInformation() const { return mCellInformation; }
    void setCellInformation(int code) { mCellInformation = code; }

    // Layout. Every page puts its values in one column at the same x, right of the widest title
    // of all pages, so that the values line up from page to page. A wider page widens the
    // pop-ups and text fields up to kMaxValueWidth; the page is never narrower than its widest
    // value widget at its natural width needs.
    static constexpr int kTitleGap = 8;
    static constexpr int kRightMargin = 5;
    static constexpr int kMaxValueWidth = 300;
    // The widest title of all pages in metrics.
    static int titleColumnWidth(const QFontMetrics& metrics);
    // x of every value widget in its row.
    int valuePosition() const;
    // The width value (a row's value widget) takes in a row of rowWidth.
    int valueWidgetWidth(const QWidget* value, int rowWidth) const;

    // Row factories. Each creates the next row (the order of the calls is the order of the rows),
    // binds its widget to id of the session and returns the row.
    KdPrmCellView* createPrmCellView(const QString& title);
    KdPrmCellView* createPopUpButton(const QString& title, long id, const LPrmConverter* converter);
    KdPrmCellView* createValueBox(const QString& title, long id, const LPrmConverter* converter);
    KdPrmCellView* createSpinBox(const QString& title, long id, const LPrmConverter* converter,
                                 const char* unit = nullptr);
    KdPrmCellView* createNameBox(const QString& title, long id, int length);
    KdPrmCellView* createExecButton(const QString& title, long id, int waitMs);
    // One catalogue row with every adjustment the row names (unit box, text width, confirmation,
    // notification, the hand-built identity and still-memory boxes).
    KdPrmCellView* createRow(const CKdPageCatalogue::_SRow& row);

    // The reboot note now shown by this page, and the widget it points at.
    KdInfoPopup* infoWindow() const { return mInfoWindow; }
    QWidget* infoSender() const { return mInfoSender; }
    void closeInformationWindow();
    // Shows text in a note pointing at target, in place of the current note. Only while the page
    // is in a window.
    void showMessage(QWidget* target, const QString& text);

    // Posts kInfoReqNeedsReboot with sender when code is kInfoNeedsReboot; other codes do nothing.
    static void informationRequest(int code, QObject* sender);

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Stretches the rows across the page and places each value widget at the value column.
    void layoutRows();
    // The narrowest page that shows every row's title and value widget whole.
    int minimumPageWidth() const;
    void infoReqNeedsReboot(const void* sender);
    // Makes note the page's note, pointing at target.
    void installNote(KdInfoPopup* note, QWidget* target, bool message);
    // Keeps the note at its widget after the page moved, or closes it once the widget is out of
    // sight.
    void followNote();
    // The row's value widget, moved to the value position and centred in the row.
    template <class Widget>
    Widget* placeValueWidget(KdPrmCellView* cell, Widget* widget);

    const CKdPageCatalogue::_SPage* mPage;
    LObjPtr_<CKdPrmManager> mPrmManager;
    QPointer<KdPrmReading> mReading;
    int mCreatingY = kFirstRowY;
    int mValueWidth = kDefaultValueWidth;
    int mCellInformation = kInfoNone;
    QPointer<KdInfoPopup> mInfoWindow;
    QPointer<QWidget> mInfoSender;
    bool mInfoIsMessage = false; // the note is a message, not the reboot note
    int mNotificationToken = 0;
};
