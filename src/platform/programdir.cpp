#include "platform/programdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <algorithm>

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
  // Every part below the program directory may differ in case: a "Skin" folder copied
  // from elsewhere is the skin folder all the same.
  const QString base = QDir::cleanPath(ProgramDir());
  if (!exact.startsWith(base + '/')) return exact;
  const QStringList parts = exact.mid(base.size() + 1).split('/', Qt::SkipEmptyParts);
  QString path = base;
  for (qsizetype i = 0; i < parts.size(); ++i) {
    const QString candidate = path + '/' + parts[i];
    if (QFileInfo::exists(candidate)) {
      path = candidate;
      continue;
    }
    const QDir::Filters kind = i + 1 == parts.size() ? QDir::Files : QDir::Dirs;
    const QStringList names =
        QDir(path).entryList(kind | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    const auto match = std::find_if(names.begin(), names.end(), [&](const QString& name) {
      return name.compare(parts[i], Qt::CaseInsensitive) == 0;
    });
    if (match == names.end()) return exact;
    path = candidate.left(path.size() + 1) + *match;
  }
  return path;
}

QString SettingsFileName() {
  return ProgramFile("settings.ini");
}
QString PlaylistFileName() {
  return ProgramFile("lastplay.dat");
}
