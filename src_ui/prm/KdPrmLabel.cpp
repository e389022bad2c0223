#include "KdPrmLabel.h"

KdPrmLabel::KdPrmLabel(QPoint position, const QString& text, QWidget* parent)
    : QLabel(text, parent) {
    setWordWrap(false);
    setTextInteractionFlags(Qt::NoTextInteraction);
    move(position);
    adjustSize();
}
