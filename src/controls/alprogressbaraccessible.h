#pragma once
// What assistive technology sees of a TALProgressBar: a slider with its position between Min
// and Max, the bar's value text as the value's text (also as the object's text, where clients
// without a value text look), and a value it sets going to the bar's request handler.

#include <QAccessibleWidget>

class TALProgressBar;

class TALProgressBarAccessible : public QAccessibleWidget,
                                 public QAccessibleValueInterface,
                                 public QAccessibleTextInterface {
 public:
  explicit TALProgressBarAccessible(TALProgressBar* bar);

  void* interface_cast(QAccessible::InterfaceType type) override;
  QString text(QAccessible::Text t) const override;
  QAccessible::State state() const override;

  // QAccessibleValueInterface
  QVariant currentValue() const override;
  void setCurrentValue(const QVariant& value) override;
  QVariant maximumValue() const override;
  QVariant minimumValue() const override;
  QVariant minimumStepSize() const override;

  // QAccessibleTextInterface: the value text, read only.
  void selection(int, int* startOffset, int* endOffset) const override;
  int selectionCount() const override { return 0; }
  void addSelection(int, int) override {}
  void removeSelection(int) override {}
  void setSelection(int, int, int) override {}
  int cursorPosition() const override { return 0; }
  void setCursorPosition(int) override {}
  QString text(int startOffset, int endOffset) const override;
  int characterCount() const override;
  QRect characterRect(int) const override { return {}; }
  int offsetAtPoint(const QPoint&) const override { return -1; }
  void scrollToSubstring(int, int) override {}
  QString attributes(int, int* startOffset, int* endOffset) const override;

 private:
  TALProgressBar* Bar() const;
};
