#pragma once
// Opening a song on the media player as the player window does, without waiting, and waiting
// for it in a test.

#include <QString>
#include <memory>
#include <optional>

class TMediaPlayer;

using TOpenResult = std::shared_ptr<std::optional<QString>>;

// Opens fileName; the result holds what the open reported ("" when open) once it did.
TOpenResult StartOpen(TMediaPlayer& player, const QString& fileName);
// Opens fileName and waits for the report: "" when the song is open, else why not.
QString OpenAndWait(TMediaPlayer& player, const QString& fileName, int timeoutMs = 10000);
