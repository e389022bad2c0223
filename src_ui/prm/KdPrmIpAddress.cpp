#include "KdPrmIpAddress.h"

#include "CKdValueGroups.h"
#include "KdPrmView.h"

KdPrmIpAddress::KdPrmIpAddress(QWidget* parent)
    : QLineEdit(parent), mGroup([this] { showAddress(); },
                                [this](const QString& message) { emit entryMessage(message); }) {
    setMaxLength(kMaxTextLength);
    // Wide enough for the longest address, with the frame's margins.
    constexpr int kFrame = 12;
    setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("255.255.255.255")) + kFrame);
    setPlaceholderText(QStringLiteral("0.0.0.0"));
    connect(this, &QLineEdit::editingFinished, this, &KdPrmIpAddress::commitText);
    // As in a number field, the reboot note comes with the first keystroke or paste.
    connect(this, &QLineEdit::textEdited, this,
            [this] { KdPrmView::informationRequest(mEditedInfo, this); });
}

void KdPrmIpAddress::setPrmId(long firstId, LPrmManager* manager) {
    mGroup.setup(manager, firstId, CKdValueGroups::kAddressParts);
    showAddress();
}

void KdPrmIpAddress::showAddress() {
    QStringList parts;
    for (int part = 0; part < mGroup.count(); ++part)
        parts << QString::number(mGroup.value(part));
    setText(parts.join('.'));
    if (hasFocus()) selectAll(); // the next keystroke or paste replaces it
}

void KdPrmIpAddress::commitText() {
    // Only a text the user has typed is stored: moving the focus through the field sends nothing.
    if (isReadOnly() || !isModified()) return;
    const QString typed = text();
    CKdValueGroups::Address parts;
    int part = -1;
    using E = CKdValueGroups::EAddressEntry;
    const E entry = CKdValueGroups::ReadAddress(typed.toUtf8().constData(), parts, part);
    if (entry == E::Taken && mGroup.manager()) {
        mGroup.write(parts);
        KdPrmView::informationRequest(mEditedInfo, this);
        return;
    }
    showAddress();
    if (!mGroup.manager()) return;
    QString what;
    if (typed.trimmed().isEmpty())
        what = tr("The field is empty: nothing changed.");
    else if (entry == E::OutOfRange)
        what = tr("\u201c%1\u201d: its part %2 is above 255: nothing changed.")
                   .arg(typed.trimmed())
                   .arg(parts[part]);
    else
        what = tr("\u201c%1\u201d is not an address: nothing changed.").arg(typed.trimmed());
    emit entryMessage(what + '\n' +
                      tr("Takes four numbers from 0 to 255 with dots between them, "
                         "as in 192.168.1.200."));
}
