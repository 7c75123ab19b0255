#pragma once
// What assistive technology sees of a TImage: a push button (checkable when it is a toggle)
// whose press is a click, named by its accessible name or the name that follows its state; an
// image nobody clicks is a filler, the background it is.

#include <QAccessibleWidget>

class TImage;

class TImageAccessible : public QAccessibleWidget {
 public:
  explicit TImageAccessible(TImage* image);

  QAccessible::Role role() const override;
  QAccessible::State state() const override;
  QString text(QAccessible::Text t) const override;
  QStringList actionNames() const override;
  void doAction(const QString& action) override;

 private:
  TImage* Image() const;
};
