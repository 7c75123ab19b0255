#include "platform/errors.h"

QString ErrorDisplayText(const QString& message) {
  if (!message.isEmpty() && message.back() > QChar('.')) return message + QChar('.');
  return message;
}
