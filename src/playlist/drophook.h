#pragma once
// Files dropped from a file manager onto the program's windows. One application-wide event
// filter sees each drop once, whichever registered window (or child of one) receives it,
// beeps once and hands the dropped URLs to one handler.

#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <functional>

class QWidget;

class TDropHook : public QObject {
  Q_OBJECT
 public:
  using THandler = std::function<void(const QList<QUrl>&)>;
  // Installs itself on the application object; parent owns it.
  TDropHook(THandler handler, QObject* parent);
  ~TDropHook() override;

  // Makes window accept drops and routes drops on it (and its children) to the handler.
  void AddTarget(QWidget* window);
  bool IsTarget(const QWidget* window) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  THandler handler_;
  QList<QPointer<QWidget>> targets_;
};
