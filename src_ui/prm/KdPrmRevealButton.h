#pragma once

#include <QToolButton>

class QLineEdit;

// The small eye at the right end of a secret text field. Checked, the field shows its text;
// unchecked (the start), dots. It is a Tab stop of its own, right after its field.
class KdPrmRevealButton : public QToolButton {
    Q_OBJECT

public:
    // A button inside field that masks the field's text now and reveals it while checked.
    explicit KdPrmRevealButton(QLineEdit* field);

    // Square, filling the field's height less a small margin, at its right end.
    void placeInField();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLineEdit* mField;
};
