#pragma once
// The open-file dialog component (dlgOpen): its settings live here between uses, the
// dialog itself is shown through the dialog seam.

#include <QString>

class QWidget;

class TOpenDialog {
 public:
  QString DefaultExt;
  QString Filter;      // Qt's syntax: "Mp3 Files (*.mp3);;All Files (*)"
  QString InitialDir;  // where the dialog starts; empty: the platform's default
  QString FileName;    // the chosen file after a successful Execute

  // Shows the dialog modally; true (FileName set) when the user chose a file.
  bool Execute(QWidget* parent);
};
