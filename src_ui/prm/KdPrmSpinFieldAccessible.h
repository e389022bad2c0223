#pragma once

#include <QAccessibleWidget>

class KdPrmSpinBox;
class QLineEdit;

// What assistive technology sees of a number field's text field: a spin button named after its
// row, labelled by the row's title, whose value and range are the numbers the field shows
// ("0.0" to "6.0" for a tenth-of-a-second parameter), and whose text can be read and selected as
// a line edit's. Qt's own line edit interface would report plain text without a range.
class KdPrmSpinFieldAccessible : public QAccessibleWidget,
                                 public QAccessibleValueInterface,
                                 public QAccessibleTextInterface {
public:
    // Makes the factory answer for every text field of a KdPrmSpinBox; once per process.
    static void install();

    KdPrmSpinFieldAccessible(QLineEdit* field, KdPrmSpinBox* box);

    QAccessible::Role role() const override { return QAccessible::SpinBox; }
    QAccessible::State state() const override;
    QString text(QAccessible::Text type) const override;
    QList<QPair<QAccessibleInterface*, QAccessible::Relation>>
    relations(QAccessible::Relation match) const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    // Value: in the numbers the field shows.
    QVariant currentValue() const override;
    void setCurrentValue(const QVariant& value) override;
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override;

    // Text: the field's text, cursor and selection.
    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

private:
    QLineEdit* field() const;

    KdPrmSpinBox* mBox;
};
