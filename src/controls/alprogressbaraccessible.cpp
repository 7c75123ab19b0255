#include "controls/alprogressbaraccessible.h"

#include <algorithm>
#include <cmath>

#include "controls/accessiblerequest.h"
#include "controls/alprogressbar.h"

TALProgressBarAccessible::TALProgressBarAccessible(TALProgressBar* bar)
    : QAccessibleWidget(bar, QAccessible::Slider) {}

TALProgressBar* TALProgressBarAccessible::Bar() const {
  return static_cast<TALProgressBar*>(widget());
}

void* TALProgressBarAccessible::interface_cast(QAccessible::InterfaceType type) {
  if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
  if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
  return QAccessibleWidget::interface_cast(type);
}

QString TALProgressBarAccessible::text(QAccessible::Text t) const {
  if (t == QAccessible::Value) return Bar()->ValueText();
  return QAccessibleWidget::text(t);
}

QAccessible::State TALProgressBarAccessible::state() const {
  QAccessible::State state = QAccessibleWidget::state();
  if (!Bar()->AcceptsValues()) state.readOnly = true;
  return state;
}

QVariant TALProgressBarAccessible::currentValue() const {
  // A position outside the range draws as the nearer end.
  const TALProgressBar* bar = Bar();
  return std::clamp(bar->Position(), bar->Min(), std::max(bar->Min(), bar->Max()));
}

void TALProgressBarAccessible::setCurrentValue(const QVariant& value) {
  bool ok = false;
  const double wanted = value.toDouble(&ok);
  if (!ok || !std::isfinite(wanted) || !Bar()->AcceptsValues()) return;
  const int target = int(std::lround(
      std::clamp(wanted, double(Bar()->Min()), double(std::max(Bar()->Min(), Bar()->Max())))));
  RunAfterRequest(Bar(), [bar = Bar(), target] { bar->RequestValue(target); });
}

QVariant TALProgressBarAccessible::maximumValue() const {
  return std::max(Bar()->Min(), Bar()->Max());
}

QVariant TALProgressBarAccessible::minimumValue() const {
  return Bar()->Min();
}

QVariant TALProgressBarAccessible::minimumStepSize() const {
  return Bar()->ValueStep();
}

void TALProgressBarAccessible::selection(int, int* startOffset, int* endOffset) const {
  *startOffset = *endOffset = 0;
}

QString TALProgressBarAccessible::text(int startOffset, int endOffset) const {
  const QString value = Bar()->ValueText();
  if (endOffset < 0 || endOffset > value.size()) endOffset = int(value.size());
  startOffset = std::clamp(startOffset, 0, endOffset);
  return value.mid(startOffset, endOffset - startOffset);
}

int TALProgressBarAccessible::characterCount() const {
  return int(Bar()->ValueText().size());
}

QString TALProgressBarAccessible::attributes(int, int* startOffset, int* endOffset) const {
  *startOffset = 0;
  *endOffset = characterCount();
  return {};
}
