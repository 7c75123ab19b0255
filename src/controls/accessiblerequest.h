#pragma once
// Assistive technology asks for actions and values inside a call on its bus, which waits for
// the answer. What such a request starts (a handler that may open a modal box, or fail) runs
// once the call is answered, from the event loop, like a click.

#include <QMetaObject>
#include <QObject>
#include <utility>

template <typename F>
void RunAfterRequest(QObject* context, F&& work) {
  QMetaObject::invokeMethod(context, std::forward<F>(work), Qt::QueuedConnection);
}
