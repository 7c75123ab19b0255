#pragma once
// Error types carrying the program's own message texts. Handlers throw them; the
// application-wide catcher shows them through the general error display.

#include <QString>
#include <stdexcept>

class EBrimtoneError : public std::runtime_error {
 public:
  explicit EBrimtoneError(const QString& message)
      : std::runtime_error(message.toStdString()), message_(message) {}
  const QString& Message() const { return message_; }

 private:
  QString message_;
};

// A file (skin bitmap) that cannot be opened: "Cannot open file "%s". %s".
class EFOpenError : public EBrimtoneError {
 public:
  using EBrimtoneError::EBrimtoneError;
};

// A file that opens but holds no valid bitmap.
class EInvalidGraphic : public EBrimtoneError {
 public:
  using EBrimtoneError::EBrimtoneError;
};

// A refused write to an INI file: "Unable to write to %s".
class EIniFileException : public EBrimtoneError {
 public:
  using EBrimtoneError::EBrimtoneError;
};

// Media device failures ("No MCI device open", files that cannot be played, no audio output).
class EMCIDeviceError : public EBrimtoneError {
 public:
  using EBrimtoneError::EBrimtoneError;
};

// A value outside the range a property accepts.
class ERangeError : public EBrimtoneError {
 public:
  using EBrimtoneError::EBrimtoneError;
};

// The text the general error display shows: a full stop is added when the last
// character sorts after the full stop.
QString ErrorDisplayText(const QString& message);
