#pragma once

#include "LObject.h"

#include <QMessageBox>
#include <QString>

// An alert for the main window to show as a window-modal message box: the object of a
// "KdAlertReqNotification".
class KdAlert : public LObject {
public:
    KdAlert(QMessageBox::Icon icon, const QString& text, const QString& informativeText = {})
        : mIcon(icon), mText(text), mInformativeText(informativeText) {}

    QMessageBox::Icon mIcon;
    QString mText;
    QString mInformativeText;
};
