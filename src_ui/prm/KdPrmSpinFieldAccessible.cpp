#include "KdPrmSpinFieldAccessible.h"

#include "KdPrmSpinBox.h"

#include <QLabel>
#include <QLineEdit>

namespace {

QAccessibleInterface* SpinFieldFactory(const QString& className, QObject* object) {
    if (className != QLatin1String("QLineEdit")) return nullptr;
    auto* box = qobject_cast<KdPrmSpinBox*>(object->parent());
    if (!box || box->textField() != object) return nullptr;
    return new KdPrmSpinFieldAccessible(box->textField(), box);
}

} // namespace

void KdPrmSpinFieldAccessible::install() {
    static const bool installed = [] {
        QAccessible::installFactory(SpinFieldFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

KdPrmSpinFieldAccessible::KdPrmSpinFieldAccessible(QLineEdit* field, KdPrmSpinBox* box)
    : QAccessibleWidget(field, QAccessible::SpinBox), mBox(box) {}

QLineEdit* KdPrmSpinFieldAccessible::field() const {
    return static_cast<QLineEdit*>(widget());
}

QAccessible::State KdPrmSpinFieldAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    state.editable = !field()->isReadOnly();
    state.readOnly = field()->isReadOnly();
    state.selectableText = true;
    return state;
}

QString KdPrmSpinFieldAccessible::text(QAccessible::Text type) const {
    if (type == QAccessible::Value) return field()->text();
    return QAccessibleWidget::text(type);
}

QList<QPair<QAccessibleInterface*, QAccessible::Relation>>
KdPrmSpinFieldAccessible::relations(QAccessible::Relation match) const {
    auto relations = QAccessibleWidget::relations(match);
    // The row's title is the buddy of the whole spin box, whose text field this is.
    if (match & QAccessible::Label && mBox->parentWidget())
        for (QLabel* label :
             mBox->parentWidget()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
            if (label->buddy() == mBox)
                relations.append(
                    {QAccessible::queryAccessibleInterface(label), QAccessible::Label});
    return relations;
}

void* KdPrmSpinFieldAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QVariant KdPrmSpinFieldAccessible::currentValue() const {
    return mBox->shownNumber(mBox->observer().LastValue());
}

void KdPrmSpinFieldAccessible::setCurrentValue(const QVariant& value) {
    mBox->enterText(value.toString());
}

QVariant KdPrmSpinFieldAccessible::maximumValue() const {
    return mBox->shownNumber(mBox->range().mMax);
}

QVariant KdPrmSpinFieldAccessible::minimumValue() const {
    return mBox->shownNumber(mBox->range().mMin);
}

QVariant KdPrmSpinFieldAccessible::minimumStepSize() const {
    const int min = mBox->range().mMin;
    return mBox->shownNumber(min + 1) - mBox->shownNumber(min);
}

void KdPrmSpinFieldAccessible::selection(int selectionIndex, int* startOffset,
                                         int* endOffset) const {
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || !field()->hasSelectedText()) return;
    *startOffset = field()->selectionStart();
    *endOffset = field()->selectionEnd();
}

int KdPrmSpinFieldAccessible::selectionCount() const {
    return field()->hasSelectedText() ? 1 : 0;
}

void KdPrmSpinFieldAccessible::addSelection(int startOffset, int endOffset) {
    setSelection(0, startOffset, endOffset);
}

void KdPrmSpinFieldAccessible::removeSelection(int selectionIndex) {
    if (selectionIndex == 0) field()->deselect();
}

void KdPrmSpinFieldAccessible::setSelection(int selectionIndex, int startOffset, int endOffset) {
    if (selectionIndex == 0) field()->setSelection(startOffset, endOffset - startOffset);
}

int KdPrmSpinFieldAccessible::cursorPosition() const {
    return field()->cursorPosition();
}

void KdPrmSpinFieldAccessible::setCursorPosition(int position) {
    field()->setCursorPosition(position);
}

QString KdPrmSpinFieldAccessible::text(int startOffset, int endOffset) const {
    return field()->text().mid(startOffset, endOffset - startOffset);
}

int KdPrmSpinFieldAccessible::characterCount() const {
    return field()->text().size();
}

QRect KdPrmSpinFieldAccessible::characterRect(int offset) const {
    // The field's one line of left-aligned text, inside QLineEdit's margin of 2.
    const QFontMetrics metrics = field()->fontMetrics();
    const QString text = field()->text();
    const QRect inside = field()->contentsRect();
    const int x = inside.x() + 2 + metrics.horizontalAdvance(text.left(offset));
    const int width = metrics.horizontalAdvance(text.mid(offset, 1));
    const QRect local(x, inside.y() + (inside.height() - metrics.height()) / 2, width,
                      metrics.height());
    return QRect(field()->mapToGlobal(local.topLeft()), local.size());
}

int KdPrmSpinFieldAccessible::offsetAtPoint(const QPoint& point) const {
    return field()->cursorPositionAt(field()->mapFromGlobal(point));
}

void KdPrmSpinFieldAccessible::scrollToSubstring(int, int) {
    // The field keeps its cursor in sight itself.
}

QString KdPrmSpinFieldAccessible::attributes(int offset, int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = offset;
    return {};
}
