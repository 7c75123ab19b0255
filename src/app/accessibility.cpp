#include "app/accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QMenu>

#include "controls/alprogressbar.h"
#include "controls/alprogressbaraccessible.h"
#include "controls/dthintpanel.h"
#include "controls/dthintpanelaccessible.h"
#include "controls/dtlistbox.h"
#include "controls/dtlistboxaccessible.h"
#include "controls/image.h"
#include "controls/imageaccessible.h"
#include "controls/label.h"
#include "controls/labelaccessible.h"
#include "controls/menuitemaccessible.h"
#include "player/formmain.h"
#include "playlist/formplaylist.h"
#include "playlist/speedbutton.h"
#include "playlist/speedbuttonaccessible.h"

namespace {

// Asked for every object, with each class name from the most derived up; the first asking
// decides.
QAccessibleInterface* Factory(const QString&, QObject* object) {
  if (auto* image = qobject_cast<TImage*>(object)) return new TImageAccessible(image);
  if (auto* label = qobject_cast<TLabel*>(object)) return new TLabelAccessible(label);
  if (auto* bar = qobject_cast<TALProgressBar*>(object)) return new TALProgressBarAccessible(bar);
  if (auto* list = qobject_cast<TdtListBox*>(object)) return new TdtListBoxAccessible(list);
  if (auto* panel = qobject_cast<TdtHintPanel*>(object)) return new TdtHintPanelAccessible(panel);
  if (auto* button = qobject_cast<TSpeedButton*>(object)) return new TSpeedButtonAccessible(button);
  // The two skinned windows are windows, whatever their frame.
  if (qobject_cast<TformMain*>(object) || qobject_cast<TformPlaylist*>(object))
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
  if (auto* action = qobject_cast<QAction*>(object)) {
    if (auto* menu = qobject_cast<QMenu*>(action->parent()))
      return new TMenuItemAccessible(menu, action);
  }
  return nullptr;
}

}  // namespace

void InstallAccessibility() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  QAccessible::installFactory(Factory);
}
