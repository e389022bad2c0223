#include "KdPrmStepper.h"

#include <QToolButton>

namespace {

constexpr int kButtonWidth = 16;
constexpr int kButtonHeight = 12;

QToolButton* MakeButton(Qt::ArrowType arrow, const QString& name, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setAccessibleName(name);
    button->setFocusPolicy(Qt::NoFocus); // the text field is the row's Tab stop
    button->setAutoRepeat(true);
    button->resize(kButtonWidth, kButtonHeight);
    return button;
}

} // namespace

KdPrmStepper::KdPrmStepper(QWidget* parent)
    : QWidget(parent), mUp(MakeButton(Qt::UpArrow, tr("Increase"), this)),
      mDown(MakeButton(Qt::DownArrow, tr("Decrease"), this)) {
    mDown->move(0, kButtonHeight);
    resize(kButtonWidth, 2 * kButtonHeight);
    connect(mUp, &QToolButton::clicked, this, [this] { emit stepped(1); });
    connect(mDown, &QToolButton::clicked, this, [this] { emit stepped(-1); });
}

void KdPrmStepper::setFieldName(const QString& name) {
    mUp->setAccessibleName(tr("Increase %1").arg(name));
    mDown->setAccessibleName(tr("Decrease %1").arg(name));
}
