#pragma once
// The application title: the caption of message boxes and of the program's taskbar entry.
// On Linux the taskbar entry is the player window, so its window title follows along.

#include <QString>

class QWidget;

void SetApplicationTitle(const QString& title);
QString ApplicationTitle();
// The window whose title is the taskbar entry (the player window); nullptr to detach.
void SetTitleWindow(QWidget* window);
