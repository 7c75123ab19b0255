#include "playlist/opendialog.h"

#include "platform/dialogs.h"

bool TOpenDialog::Execute(QWidget* parent) {
  const std::optional<QString> chosen = Dialogs().AskOpenFile(parent, InitialDir, Filter);
  if (!chosen || chosen->isEmpty()) return false;
  FileName = *chosen;
  return true;
}
