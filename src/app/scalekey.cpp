#include "app/scalekey.h"

#include <QKeySequence>
#include <QShortcut>

#include "platform/skinscale.h"
#include "player/formmain.h"

TScaleKey::TScaleKey(TformMain* player) : QObject(player), player_(player) {
  setObjectName("scaleKey");
  auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_D), player);
  shortcut->setContext(Qt::ApplicationShortcut);
  connect(shortcut, &QShortcut::activated, this, &TScaleKey::Switch);
}

void TScaleKey::Switch() {
  const int scale = TSkinScale::Toggled(TSkinScale::Current());
  TSkinScale::Apply(scale);
  TSkinScale::SetSetting(scale);
  if (player_) player_->SetPlayerPosition(player_->pos());
  TSkinScale::WriteSetting(scale);
}
