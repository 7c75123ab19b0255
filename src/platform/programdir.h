#pragma once
// Every file the program uses is found from the program directory: the folder of the
// running executable. Tests point it at a temporary folder.

#include <QString>

// The program directory with a trailing separator.
QString ProgramDir();
// Tests (and only tests) replace the program directory; an empty path restores the default.
void SetProgramDir(const QString& dir);

// Maps a relative name such as "\skin\main.bmp" or "settings.ini" onto the program directory:
// backslashes become "/", doubled separators collapse.
QString ProgramFile(const QString& relativeName);

// Like ProgramFile, but when no file of that exact name exists, a file in the same folder whose
// name differs only in letter case is taken (skin names match without regard to case).
QString ProgramFileAnyCase(const QString& relativeName);

// Full paths of the two INI files.
QString SettingsFileName();  // program directory + "settings.ini"
QString PlaylistFileName();  // program directory + "lastplay.dat"
