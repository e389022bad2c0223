#pragma once

#include <QWidget>

class QToolButton;

// Two small arrow buttons, one above the other. Each click is exactly one step; the stepper has
// no value of its own and so never reaches a limit.
class KdPrmStepper : public QWidget {
    Q_OBJECT

public:
    explicit KdPrmStepper(QWidget* parent = nullptr);

    QToolButton* upButton() const { return mUp; }
    QToolButton* downButton() const { return mDown; }
    // Names the buttons after the field they step: "Increase Brightness", "Decrease Brightness".
    void setFieldName(const QString& name);

signals:
    // +1 for the upper button, -1 for the lower.
    void stepped(int delta);

private:
    QToolButton* mUp;
    QToolButton* mDown;
};
