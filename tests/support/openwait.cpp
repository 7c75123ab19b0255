#include "support/openwait.h"

#include <QTest>

#include "audio/mediaplayer.h"

TOpenResult StartOpen(TMediaPlayer& player, const QString& fileName) {
  auto result = std::make_shared<std::optional<QString>>();
  player.SetFileName(fileName);
  player.Open([result](const QString& error) { *result = error; });
  return result;
}

QString OpenAndWait(TMediaPlayer& player, const QString& fileName, int timeoutMs) {
  const TOpenResult result = StartOpen(player, fileName);
  QTest::qWaitFor([&] { return result->has_value(); }, timeoutMs);
  return result->value_or("no report");
}
