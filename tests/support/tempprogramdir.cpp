#include "support/tempprogramdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/programdir.h"

QString DefaultSkinDir() {
  return qEnvironmentVariable("BRIMTONE_SKIN_DIR");
}

TTempProgramDir::TTempProgramDir(Skin skin) {
  if (skin == Skin::Default) {
    QDir().mkpath(dir_.filePath("skin"));
    const QDir source(DefaultSkinDir());
    for (const QString& name : source.entryList(QDir::Files))
      QFile::copy(source.filePath(name), dir_.filePath("skin/" + name));
  }
  SetProgramDir(dir_.path());
}

TTempProgramDir::~TTempProgramDir() {
  SetProgramDir(QString());
}

QString TTempProgramDir::Path() const {
  return dir_.path() + '/';
}

QString TTempProgramDir::File(const QString& relativeName) const {
  return Path() + relativeName;
}

QString TTempProgramDir::Write(const QString& relativeName, const QByteArray& content) const {
  const QString path = File(relativeName);
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(content);
  return path;
}

QByteArray TTempProgramDir::Read(const QString& relativeName) const {
  QFile file(File(relativeName));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TTempProgramDir::MakeReadOnly(const QString& relativeName) const {
  QFile::setPermissions(File(relativeName),
                        QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
}
