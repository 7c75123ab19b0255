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

// The entry of folder named `name` in any letter case; empty when there is none.
QString FindAnyCase(const QString& folder, const QString& name, QDir::Filters kind) {
  if (QFileInfo(folder + '/' + name).exists()) return name;
  const QStringList names =
      QDir(folder).entryList(kind | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
  const auto match = std::find_if(names.begin(), names.end(), [&](const QString& entry) {
    return entry.compare(name, Qt::CaseInsensitive) == 0;
  });
  return match == names.end() ? QString() : *match;
}

bool HoldsSkin(const QString& folder) {
  const QString name = FindAnyCase(folder, "skin", QDir::Dirs);
  return !name.isEmpty() && QFileInfo(folder + '/' + name).isDir();
}

const TDataFolders& Folders() {
  // Decided once: the executable does not move while it runs.
  static const TDataFolders folders = [] {
    TDataFolders found =
        ResolveDataFolders(QCoreApplication::applicationDirPath(),
                           qEnvironmentVariable("XDG_CONFIG_HOME"), QDir::homePath());
    if (found.installed) QDir().mkpath(found.dataDir);
    return found;
  }();
  return folders;
}

QString DataDir() {
  if (!OverrideDir().isEmpty()) return OverrideDir();
  return Folders().dataDir;
}

QString SkinParent() {
  if (!OverrideDir().isEmpty()) return OverrideDir();
  return Folders().skinParent;
}

// "skin/..." in any letter case.
bool IsSkinName(const QString& cleanRelative) {
  return cleanRelative.section('/', 0, 0, QString::SectionSkipEmpty)
             .compare("skin", Qt::CaseInsensitive) == 0;
}

QString CleanRelative(const QString& relativeName) {
  QString rel = relativeName;
  rel.replace('\\', '/');
  return QDir::cleanPath(rel);
}
}  // namespace

TDataFolders ResolveDataFolders(const QString& exeDir, const QString& xdgConfigHome,
                                const QString& home) {
  TDataFolders folders;
  // 1.
  if (HoldsSkin(exeDir)) {
    folders.dataDir = folders.skinParent = WithSlash(QDir::cleanPath(exeDir));
    return folders;
  }
  // 2.
  folders.installed = true;
  const QString config = !xdgConfigHome.isEmpty() && QDir::isAbsolutePath(xdgConfigHome)
                             ? xdgConfigHome
                             : home + "/.config";
  folders.dataDir = WithSlash(QDir::cleanPath(config + "/brimtone"));
  if (HoldsSkin(folders.dataDir)) {
    folders.skinParent = folders.dataDir;
    return folders;
  }
  // 3.
  folders.skinParent = WithSlash(QDir::cleanPath(exeDir + "/../share/brimtone"));
  return folders;
}

QString ProgramDir() {
  return DataDir();
}

void SetProgramDir(const QString& dir) {
  OverrideDir() = dir.isEmpty() ? QString() : WithSlash(QDir(dir).absolutePath());
}

QString ProgramFile(const QString& relativeName) {
  const QString rel = CleanRelative(relativeName);
  const QString base = IsSkinName(rel) ? SkinParent() : DataDir();
  return QDir::cleanPath(base + rel);
}

QString ProgramFileAnyCase(const QString& relativeName) {
  const QString exact = ProgramFile(relativeName);
  if (QFileInfo::exists(exact)) return exact;
  // Every part below the program directory may differ in case: a "Skin" folder copied
  // from elsewhere is the skin folder all the same.
  const QString base =
      QDir::cleanPath(IsSkinName(CleanRelative(relativeName)) ? SkinParent() : DataDir());
  if (!exact.startsWith(base + '/')) return exact;
  const QStringList parts = exact.mid(base.size() + 1).split('/', Qt::SkipEmptyParts);
  QString path = base;
  for (qsizetype i = 0; i < parts.size(); ++i) {
    const QDir::Filters kind = i + 1 == parts.size() ? QDir::Files : QDir::Dirs;
    const QString match = FindAnyCase(path, parts[i], kind);
    if (match.isEmpty()) return exact;
    path += '/' + match;
  }
  return path;
}

QString SettingsFileName() {
  return ProgramFile("settings.ini");
}
QString PlaylistFileName() {
  return ProgramFile("lastplay.dat");
}
