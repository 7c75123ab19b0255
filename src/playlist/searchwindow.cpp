#include "playlist/searchwindow.h"

#include <QAbstractListModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QVBoxLayout>
#include <algorithm>

#include "controls/dtlistbox.h"
#include "platform/screenfit.h"
#include "playlist/formplaylist.h"

// The matches as the view shows them: each the playlist row's text as it is now.
class TSearchMatches : public QAbstractListModel {
 public:
  explicit TSearchMatches(const TdtListBox* list, QObject* parent)
      : QAbstractListModel(parent), list_(list) {}

  void SetRows(const std::vector<int>& rows) {
    beginResetModel();
    rows_ = rows;
    endResetModel();
  }
  int PlaylistRow(int match) const {
    return match >= 0 && match < int(rows_.size()) ? rows_[size_t(match)] : -1;
  }
  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : int(rows_.size());
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) return {};
    return list_->Items().value(PlaylistRow(index.row()));
  }

 private:
  const TdtListBox* list_;
  std::vector<int> rows_;
};

TSearchWindow::TSearchWindow(TformPlaylist* playlist, QWidget* parent)
    : QDialog(parent), playlist_(playlist) {
  setObjectName("formSearch");
  setWindowTitle("Jump to Song");
  resize(344, 240);

  editQuery = new QLineEdit(this);
  editQuery->setObjectName("editQuery");
  editQuery->setPlaceholderText("Words of the song");
  editQuery->setAccessibleName("Words of the song");
  editQuery->setAccessibleDescription("Up and Down choose a match, Enter plays it, Esc closes");
  editQuery->installEventFilter(this);

  matches_ = new TSearchMatches(playlist->boxPlaylist, this);
  boxMatches = new QListView(this);
  boxMatches->setObjectName("boxMatches");
  boxMatches->setAccessibleName("Matching songs");
  // Every row as high as the first, laid out a few thousand at a time between events: a key
  // press waits for no layout of a hundred thousand matches.
  boxMatches->setUniformItemSizes(true);
  boxMatches->setLayoutMode(QListView::Batched);
  boxMatches->setBatchSize(2000);
  boxMatches->setEditTriggers(QAbstractItemView::NoEditTriggers);
  boxMatches->setFocusPolicy(Qt::ClickFocus);
  boxMatches->setModel(matches_);

  lablCount = new QLabel(this);
  lablCount->setObjectName("lablCount");

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(4);
  layout->addWidget(editQuery);
  layout->addWidget(boxMatches, 1);
  layout->addWidget(lablCount);

  connect(editQuery, &QLineEdit::textChanged, this, &TSearchWindow::Refilter);
  connect(editQuery, &QLineEdit::returnPressed, this, &TSearchWindow::PlayChosen);
  connect(boxMatches, &QListView::activated, this, [this](const QModelIndex& index) {
    Choose(index.row());
    PlayChosen();
  });
  // A refill while the window is open renumbers the rows: search them again.
  connect(playlist, &TformPlaylist::playlistUpdated, this, [this] {
    if (isVisible()) Refilter();
  });
}

TSearchWindow::~TSearchWindow() = default;

void TSearchWindow::Open() {
  // Under the lowest of the two windows; with no room there, over the player; the fit rule
  // does the rest.
  const QWidget* player = parentWidget();
  const QWidget* below = playlist_->isVisible() ? playlist_ : player;
  if (below && player) {
    const QRect frame = frameGeometry();
    QPoint at(below->x(), below->y() + below->frameGeometry().height());
    if (at.y() + frame.height() > AvailableAreaAt(at).bottom() + 1)
      at.setY(player->y() - frame.height());
    move(at);
  }
  Refilter();
  editQuery->selectAll();
  show();
  raise();
  activateWindow();
  editQuery->setFocus();
}

void TSearchWindow::Refilter() {
  search_.SetRows(playlist_->boxPlaylist->Items());
  const std::vector<int>& found = search_.Search(editQuery->text());
  matches_->SetRows(found);
  const int all = search_.RowCount();
  if (found.empty() && all > 0)
    lablCount->setText("No song matches");
  else
    lablCount->setText(QStringLiteral("%1 of %2 songs").arg(found.size()).arg(all));
  Choose(0);
}

void TSearchWindow::Choose(int match) {
  const int count = matches_->rowCount(QModelIndex());
  if (count == 0) return;
  const QModelIndex index = matches_->index(std::clamp(match, 0, count - 1));
  boxMatches->setCurrentIndex(index);
  boxMatches->scrollTo(index);
}

int TSearchWindow::ChosenRow() const {
  const QModelIndex current = boxMatches->currentIndex();
  return current.isValid() ? matches_->PlaylistRow(current.row()) : -1;
}

void TSearchWindow::PlayChosen() {
  const int row = ChosenRow();
  // The playlist may have changed under the matches without a refill (Delete Playlist).
  if (row < 0 || row >= playlist_->boxPlaylist->Count()) return;
  hide();
  playlist_->boxPlaylist->ActivateItem(row);
}

bool TSearchWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched != editQuery || event->type() != QEvent::KeyPress)
    return QDialog::eventFilter(watched, event);
  const int key = static_cast<QKeyEvent*>(event)->key();
  const int current = boxMatches->currentIndex().row();
  const int page =
      std::max(1, boxMatches->viewport()->height() / std::max(1, boxMatches->sizeHintForRow(0)));
  switch (key) {
    case Qt::Key_Up:
      Choose(current - 1);
      return true;
    case Qt::Key_Down:
      Choose(current + 1);
      return true;
    case Qt::Key_PageUp:
      Choose(current - page);
      return true;
    case Qt::Key_PageDown:
      Choose(current + page);
      return true;
    default:
      return QDialog::eventFilter(watched, event);
  }
}
