#pragma once
// Every file the program uses is found from one place. A program whose folder holds its skin/
// folder (the build folder, an unpacked copy) keeps everything in that folder; an installed
// program keeps settings.ini and lastplay.dat in the user's configuration folder and draws
// its skin from the user's skin/ there, else from the installed one. Tests point it at a
// temporary folder.

#include <QString>

// Where the files live, worked out from the executable's folder and the environment.
struct TDataFolders {
  QString dataDir;     // settings.ini, lastplay.dat; trailing "/"
  QString skinParent;  // the folder holding skin/; trailing "/"
  bool installed = false;
};

// 1. a folder holding skin/ (any letter case) keeps everything
// 2. else $XDG_CONFIG_HOME/brimtone/ (a relative or empty XDG_CONFIG_HOME counts as unset:
//    $HOME/.config/brimtone/) holds the data, and its skin/ when the user put one there
// 3. else the installed skin: <exeDir>/../share/brimtone/skin
TDataFolders ResolveDataFolders(const QString& exeDir, const QString& xdgConfigHome,
                                const QString& home);

// The data folder with a trailing separator (created on first use when installed).
QString ProgramDir();
// Tests (and only tests) replace the program directory; an empty path restores the default.
void SetProgramDir(const QString& dir);

// Maps a relative name such as "\skin\main.bmp" or "settings.ini" onto the program directory:
// backslashes become "/", doubled separators collapse. Names under skin\ map onto the skin's
// folder.
QString ProgramFile(const QString& relativeName);

// Like ProgramFile, but when no file of that exact name exists, a file in the same folder whose
// name differs only in letter case is taken (skin names match without regard to case).
QString ProgramFileAnyCase(const QString& relativeName);

// Full paths of the two INI files.
QString SettingsFileName();  // program directory + "settings.ini"
QString PlaylistFileName();  // program directory + "lastplay.dat"
