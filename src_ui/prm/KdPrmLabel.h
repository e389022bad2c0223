#pragma once

#include <QLabel>

// The title of a row: one line, sized to its text, neither editable nor selectable.
class KdPrmLabel : public QLabel {
    Q_OBJECT

public:
    KdPrmLabel(QPoint position, const QString& text, QWidget* parent);
};
