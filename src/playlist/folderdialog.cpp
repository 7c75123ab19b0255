#include "playlist/folderdialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

namespace {
// Hidden folders stay out of the tree unless one of them is asked for.
bool UnderHiddenFolder(const QString& path) {
  const QStringList parts = QDir::cleanPath(path).split(QLatin1Char('/'), Qt::SkipEmptyParts);
  for (const QString& part : parts) {
    if (part.startsWith(QLatin1Char('.'))) return true;
  }
  return false;
}
}  // namespace

TFolderDialog::TFolderDialog(const TOptions& options, QWidget* parent)
    : QDialog(parent), model_(new QFileSystemModel(this)), tree_(new QTreeView(this)) {
  setWindowTitle(tr("Browse for Folder"));
  auto* layout = new QVBoxLayout(this);
  if (!options.title.isEmpty()) {
    title_ = new QLabel(options.title, this);
    title_->setWordWrap(true);
    layout->addWidget(title_);
  }
  if (options.statusLine) {
    status_ = new QLabel(this);
    status_->setWordWrap(true);
    layout->addWidget(status_);
  }

  model_->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
  model_->setReadOnly(true);
  model_->setRootPath(QStringLiteral("/"));
  tree_->setModel(model_);
  tree_->setHeaderHidden(true);
  for (int column = 1; column < model_->columnCount(); ++column) tree_->hideColumn(column);
  tree_->setSelectionMode(QAbstractItemView::SingleSelection);
  tree_->setUniformRowHeights(true);
  layout->addWidget(tree_, 1);

  if (options.editBox) {
    edit_ = new QLineEdit(this);
    layout->addWidget(edit_);
    connect(edit_, &QLineEdit::textEdited, this, &TFolderDialog::EditBoxEdited);
  }

  buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  layout->addWidget(buttons_);
  connect(buttons_, &QDialogButtonBox::accepted, this, &TFolderDialog::PressOk);
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          &TFolderDialog::CurrentChanged);
  // Folders are read and sorted in the background: rows that arrive above the preselected
  // one push it down, so it is scrolled to again whenever the rows change. The view has taken
  // them in by then (it is told first, and a scroll lays out what it has been told), and it
  // happens at once: a slow folder streams its entries in without a pause for anything queued.
  connect(model_, &QFileSystemModel::rowsInserted, this, &TFolderDialog::ScrollToTarget);
  connect(model_, &QFileSystemModel::layoutChanged, this, &TFolderDialog::ScrollToTarget);

  resize(320, 380);
  if (!options.resizable) setFixedSize(size());
}

TFolderDialog::~TFolderDialog() = default;

bool TFolderDialog::SelectPath(const QString& path) {
  const QFileInfo info(path);
  if (path.isEmpty() || !info.isDir()) return false;
  const QString clean = QDir::cleanPath(info.absoluteFilePath());
  if (UnderHiddenFolder(clean)) model_->setFilter(model_->filter() | QDir::Hidden);
  const QModelIndex index = model_->index(clean);
  if (!index.isValid()) return false;
  scrollTarget_ = model_->filePath(index);
  tree_->setCurrentIndex(index);
  ScrollToTarget();
  return true;
}

void TFolderDialog::ScrollToTarget() {
  const QModelIndex index = model_->index(scrollTarget_);
  if (index.isValid() && index == tree_->currentIndex())
    tree_->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void TFolderDialog::QueueScrollToTarget() {
  if (scrollTarget_.isEmpty() || scrollQueued_) return;
  scrollQueued_ = true;
  QTimer::singleShot(0, this, [this] {
    scrollQueued_ = false;
    ScrollToTarget();
  });
}

void TFolderDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // After the layout has given the tree its size.
  QueueScrollToTarget();
}

QString TFolderDialog::SelectedPath() const {
  const QModelIndex index = tree_->currentIndex();
  if (!index.isValid()) return QString();
  return model_->filePath(index);
}

void TFolderDialog::SetOkEnabled(bool enabled) {
  buttons_->button(QDialogButtonBox::Ok)->setEnabled(enabled);
}

bool TFolderDialog::OkEnabled() const {
  return buttons_->button(QDialogButtonBox::Ok)->isEnabled();
}

void TFolderDialog::PressOk() {
  if (OkEnabled() && !SelectedPath().isEmpty()) accept();
}

void TFolderDialog::SetStatusText(const QString& text) {
  if (status_) status_->setText(text);
}

bool TFolderDialog::HasStatusLine() const {
  return status_ != nullptr;
}

QString TFolderDialog::StatusLineText() const {
  return status_ ? status_->text() : QString();
}

QString TFolderDialog::TitleText() const {
  return title_ ? title_->text() : QString();
}

QLineEdit* TFolderDialog::EditBox() const {
  return edit_;
}

void TFolderDialog::CurrentChanged() {
  const QString path = SelectedPath();
  if (path != scrollTarget_) scrollTarget_.clear();
  // The edit box shows the selected folder's name, unless the user is typing in it; typed
  // names are siblings of that folder.
  if (edit_ && !editing_) {
    const bool root = path == QLatin1String("/");
    edit_->setText(root ? path : QFileInfo(path).fileName());
    editBase_ = root ? path : QFileInfo(path).path();
  }
  emit selectionChanged(path);
}

void TFolderDialog::EditBoxEdited(const QString& text) {
  // A typed name that names a folder (absolute, or inside the selected folder) selects it.
  if (text.isEmpty()) return;
  const QString base = editBase_.isEmpty() ? QDir::homePath() : editBase_;
  const QString candidate = QDir::isAbsolutePath(text) ? text : QDir(base).filePath(text);
  if (!QFileInfo(candidate).isDir()) return;
  editing_ = true;
  SelectPath(candidate);
  editing_ = false;
}
