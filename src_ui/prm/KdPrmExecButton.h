#pragma once

#include "CKdPageCatalogue.h"
#include "CKdPrmManager.h"
#include "LPrmObserverBridge.h"

#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <string>

// "EXEC": sends the execute command of its identifier (value 1), waits actionWait ms and reads
// the page's table again so the page shows the command's effect; or, with a notification name,
// posts that notification instead. With a confirmation text the user confirms first, in a
// warning that names the action on its button and takes Cancel for Return and Escape.
class KdPrmExecButton : public QPushButton {
    Q_OBJECT

public:
    static constexpr int kWidth = 100;
    static constexpr const char* kConfirmTitle = "Confirmation";

    explicit KdPrmExecButton(int x, QWidget* parent = nullptr);
    ~KdPrmExecButton() override;

    // Binds without a delegate: the button shows no value.
    void setPrmId(long id, LPrmManager* manager);

    void setRequestPrmTable(const CKdPrmManager::_SPrmReqInfo* table) { mRequestPrmTable = table; }
    int actionWait() const { return mActionWait; }
    void setActionWait(int waitMs) { mActionWait = waitMs; }
    QString confirmation() const { return mConfirmation; }
    // The question asked first and the verb of the button that goes ahead ("Reset").
    void setConfirmation(const QString& text, const QString& verb) {
        mConfirmation = text;
        mConfirmVerb = verb;
    }
    void setNotification(const char* name, const void* object = nullptr);
    // The catalogue row's wait, confirmation and notification.
    void setRow(const CKdPageCatalogue::_SRow& row);

    // The confirmation while it is shown.
    QMessageBox* confirmAlert() const { return mConfirmAlert; }
    void closeConfirmWindow();

    void execute();

protected:
    bool event(QEvent* event) override;

private:
    void actionExec();
    void alertDidEnd(bool confirmed);

    LPrmObserverBridge mPrmObserver;
    const CKdPrmManager::_SPrmReqInfo* mRequestPrmTable = nullptr;
    int mActionWait = 0;
    QString mConfirmation;
    QString mConfirmVerb;
    std::string mNotification;
    const void* mNotifyObject = nullptr;
    QPointer<QMessageBox> mConfirmAlert;
};
