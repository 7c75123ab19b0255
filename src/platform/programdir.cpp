#include "platform/programdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {
QString& OverrideDir() {
  static QString dir;
  return dir;
}

QString WithSlash(QString dir) {
  if (!dir.endsWith('/')) dir += '/';
  return dir;
}
}  // namespace

QString ProgramDir() {
  if (!OverrideDir().isEmpty()) return OverrideDir();
  return WithSlash(QCoreApplication::applicationDirPath());
}

void SetProgramDir(const QString& dir) {
  OverrideDir() = dir.isEmpty() ? QString() : WithSlash(QDir(dir).absolutePath());
}

QString ProgramFile(const QString& relativeName) {
  QString rel = relativeName;
  rel.replace('\\', '/');
  return QDir::cleanPath(ProgramDir() + rel);
}

QString ProgramFileAnyCase(const QString& relativeName) {
  const QString exact = ProgramFile(relativeName);
  if (QFileInfo::exists(exact)) return exact;
  const QFileInfo info(exact);
  const QDir folder = info.dir();
  const QStringList names = folder.entryList(QDir::Files | QDir::Hidden | QDir::System);
  for (const QString& name : names) {
    if (name.compare(info.fileName(), Qt::CaseInsensitive) == 0) return folder.filePath(name);
  }
  return exact;
}

QString SettingsFileName() { return ProgramFile("settings.ini"); }
QString PlaylistFileName() { return ProgramFile("lastplay.dat"); }
