#include "platform/startupmarks.h"

#include <utility>

namespace {
TStartupListener& Listener() {
  static TStartupListener listener;
  return listener;
}
}  // namespace

void SetStartupListener(TStartupListener listener) {
  Listener() = std::move(listener);
}

void StartupMark(const char* step) {
  if (const TStartupListener& listener = Listener()) listener(step, false);
}

void StartupBegin(const char* step) {
  if (const TStartupListener& listener = Listener()) listener(step, true);
}
