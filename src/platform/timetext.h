#pragma once
// Milliseconds to minutes-and-seconds text: 225000 gives "3:45". Minutes grow without bound;
// fractions of a second are dropped. A negative input gives "-" and the text of its size.

#include <QString>
#include <cstdint>

QString ChangeToTime(int32_t ms);
