#include "platform/timetext.h"

namespace {
QString FormatNonNegative(int64_t ms) {
  // 1. seconds within the minute, 2. two digits, 3. minutes without limit, 4. "m:ss"
  const int64_t s = (ms % 60000) / 1000;
  const int64_t m = ms / 60000;
  return QString::number(m) + QLatin1Char(':') + (s < 10 ? QStringLiteral("0") : QString()) +
         QString::number(s);
}
}  // namespace

QString ChangeToTime(int32_t ms) {
  // 64-bit so that the size of INT32_MIN is representable.
  const int64_t value = ms;
  return value < 0 ? QStringLiteral("-") + FormatNonNegative(-value) : FormatNonNegative(value);
}
