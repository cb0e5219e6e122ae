#include "Directory.h"

#include "FolderRules.h"

#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <filesystem>

namespace kavro {
namespace {

// The folder itself when it exists, else its nearest existing parent; "/" at the end.
std::string ExistingFolder(const std::string& folder) {
  std::filesystem::path path = std::filesystem::path(folder).lexically_normal();
  std::error_code error;
  while (!path.empty() && !std::filesystem::is_directory(path, error) && path.has_relative_path())
    path = path.parent_path();
  if (path.empty() || !path.is_absolute() || !std::filesystem::is_directory(path, error)) return "/";
  std::string text = path.string();
  while (text.size() > 1 && text.back() == '/')
    text.pop_back();
  return text;
}

} // namespace

TfmDirectory::TfmDirectory(TAppDialogs& dialogs, const std::string& title, QWidget* parent)
    : QDialog(parent), IsReadOnly(IsOnReadOnlyMount), FDialogs(dialogs), FTitle(title) {
  setObjectName("fmDirectory");
  setWindowTitle("Brows");
  setModal(true);

  lblSelect = new QLabel("Please select an output directory:", this);
  lblSelect->setObjectName("lblSelect");

  FModel = new QFileSystemModel(this);
  FModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
  FModel->setReadOnly(true);
  FModel->setRootPath("/");

  stview_selectdir = new QTreeView(this);
  stview_selectdir->setObjectName("stview_selectdir");
  stview_selectdir->setModel(FModel);
  for (int column = 1; column < FModel->columnCount(); ++column)
    stview_selectdir->hideColumn(column);
  stview_selectdir->header()->hide();
  stview_selectdir->setSelectionMode(QAbstractItemView::SingleSelection);

  btnOk = new QPushButton("Ok", this);
  btnOk->setObjectName("btnOk");
  btnOk->setDefault(true);
  btnOk->setEnabled(false);
  btnCancel = new QPushButton("Cancel", this);
  btnCancel->setObjectName("btnCancel");

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblSelect);
  layout->addWidget(stview_selectdir, 1);
  layout->addLayout(buttons);
  resize(322, 351);

  connect(stview_selectdir->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { SelectionChanged(current); });
  // The tree fills its folders in the background, each new row moving the ones below: keep the
  // selected folder in view until the user scrolls or clicks elsewhere.
  connect(FModel, &QFileSystemModel::rowsInserted, this, [this] { ScheduleScroll(); });
  connect(FModel, &QFileSystemModel::layoutChanged, this, [this] { ScheduleScroll(); });
  connect(stview_selectdir->verticalScrollBar(), &QScrollBar::actionTriggered, this,
          [this] { FFollowSelection = false; });
  connect(stview_selectdir, &QTreeView::pressed, this, [this] { FFollowSelection = false; });
  connect(btnOk, &QPushButton::clicked, this, &TfmDirectory::btnOkClick);
  connect(btnCancel, &QPushButton::clicked, this, &TfmDirectory::reject);
  SelectFolder("/");
}

void TfmDirectory::SetStartFolder(const std::string& folder) {
  SelectFolder("/");
  SelectFolder(ExistingFolder(folder));
}

std::string TfmDirectory::SelectedFolder() const {
  const QModelIndex current = stview_selectdir->currentIndex();
  return current.isValid() ? FModel->filePath(current).toStdString() : std::string();
}

void TfmDirectory::SelectFolder(const std::string& folder) {
  const QModelIndex index = FModel->index(QString::fromStdString(folder));
  if (!index.isValid()) return;
  for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent())
    stview_selectdir->expand(parent);
  stview_selectdir->expand(index);
  stview_selectdir->setCurrentIndex(index);
  FFollowSelection = true;
  ScheduleScroll();
}

void TfmDirectory::ScheduleScroll() {
  if (!FFollowSelection || FScrollPending) return;
  FScrollPending = true;
  QTimer::singleShot(0, this, [this] {
    FScrollPending = false;
    if (!FFollowSelection) return;
    // The scroll range follows the rows only at the next layout; a scroll before it would be cut.
    stview_selectdir->doItemsLayout();
    stview_selectdir->scrollTo(stview_selectdir->currentIndex(), QAbstractItemView::PositionAtCenter);
  });
}

void TfmDirectory::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  ScheduleScroll();
}

void TfmDirectory::SelectionChanged(const QModelIndex& current) {
  const std::string folder = current.isValid() ? FModel->filePath(current).toStdString() : std::string();
  btnOk->setEnabled(!folder.empty() && !IsSpecialFolder(folder));
}

void TfmDirectory::btnOkClick() {
  const std::string folder = SelectedFolder();
  if (folder.empty() || IsSpecialFolder(folder)) return;
  if (IsReadOnly && IsReadOnly(folder)) {
    FDialogs.ShowInformation(ReadOnlyFolderText, FTitle);
    return;
  }
  accept();
}

std::optional<std::string> TfmDirectory::Pick(TAppDialogs& dialogs, const std::string& title,
                                              const std::string& startFolder, QWidget* parent) {
  TfmDirectory picker(dialogs, title, parent);
  picker.SetStartFolder(startFolder);
  if (picker.exec() != QDialog::Accepted) return std::nullopt;
  return picker.SelectedFolder();
}

} // namespace kavro
