#pragma once
// A temporary program directory for one test: optionally holding a copy of the built default
// skin, set as the program directory while the object lives.

#include <QString>
#include <QTemporaryDir>

class TTempProgramDir {
 public:
  enum class Skin { None, Default };
  explicit TTempProgramDir(Skin skin = Skin::Default);
  ~TTempProgramDir();

  QString Path() const;                             // with a trailing "/"
  QString File(const QString& relativeName) const;  // Path() + relativeName
  // Writes text to a file in the program directory (creating folders), returns its path.
  QString Write(const QString& relativeName, const QByteArray& content) const;
  QByteArray Read(const QString& relativeName) const;
  // Write bits off: the INI layer treats such a file as read-only, even for root.
  void MakeReadOnly(const QString& relativeName) const;

 private:
  QTemporaryDir dir_;
};

// Folder of the built default skin (BRIMTONE_SKIN_DIR, set by CTest).
QString DefaultSkinDir();
