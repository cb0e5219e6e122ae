#include "JobListView.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

#include <array>

#include "AddFilter.h"

namespace kavro {
namespace {

constexpr std::array<int, TJobListModel::ColumnCount> ColumnWidths = {140, 65, 90, 120, 60};

// The local files among dropped URLs, as file names.
std::vector<std::string> LocalFilesOf(const QMimeData* data) {
  std::vector<std::string> paths;
  if (!data || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
  return paths;
}

} // namespace

TJobListView::TJobListView(TJobList& list, QWidget* parent)
    : QTreeView(parent), FList(list), FModel(new TJobListModel(list, this)),
      FDelegate(new TJobListDelegate(this)) {
  setObjectName("lvFiles");
  setModel(FModel);
  setItemDelegate(FDelegate);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setIndentation(0);
  setUniformRowHeights(true);
  // The delegate frames the focused row; the style's focus rectangle would cover its colours.
  setAllColumnsShowFocus(false);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSortingEnabled(false);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  setDropIndicatorShown(false);
  setDragDropMode(QAbstractItemView::DropOnly);
  header()->setSectionsClickable(false);
  header()->setSectionsMovable(false);
  header()->setStretchLastSection(false);
  for (int column = 0; column < TJobListModel::ColumnCount; ++column)
    setColumnWidth(column, ColumnWidths[static_cast<size_t>(column)]);

  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { SyncToList(); });
  connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { SyncToList(); });
  connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
    if (index.isValid() && FList.SelectedIndex() >= 0) emit PreviewRequested(index.row());
  });
}

void TJobListView::SetSkinIndex(int index) {
  FDelegate->SetSkinIndex(index);
  viewport()->update();
}

void TJobListView::SyncFromList() {
  if (FModel->rowCount() != FList.Count()) FModel->Reset();
  FSyncing = true;
  QItemSelection selection;
  for (const int row : FList.SelectedIndices())
    selection.select(FModel->index(row, 0), FModel->index(row, TJobListModel::ColumnCount - 1));
  const int focused = FList.FocusedIndex();
  const QModelIndex current =
      focused >= 0 && focused < FModel->rowCount() ? FModel->index(focused, 0) : QModelIndex();
  selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
  selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  FSyncing = false;
  if (current.isValid())
    scrollTo(current);
  else if (!selection.isEmpty())
    scrollTo(selection.first().topLeft());
  viewport()->update();
}

void TJobListView::Reload() {
  FModel->Reset();
  SyncFromList();
}

QString TJobListView::ShownText(int row, int column) const {
  const QModelIndex index = FModel->index(row, column);
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.rect = visualRect(index);
  return FDelegate->ShownText(option, index);
}

void TJobListView::SyncToList() {
  if (FSyncing) return;
  std::vector<int> rows;
  for (const QModelIndex& index : selectionModel()->selectedRows())
    rows.push_back(index.row());
  FList.SetSelection(rows);
  const QModelIndex current = selectionModel()->currentIndex();
  FList.Focus(current.isValid() ? current.row() : -1);
}

void TJobListView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
    emit DeleteRequested();
    event->accept();
    return;
  }
  QTreeView::keyPressEvent(event);
}

void TJobListView::mousePressEvent(QMouseEvent* event) {
  // The row under the mouse is selected first, so the menu acts on it.
  QTreeView::mousePressEvent(event);
  if (event->button() == Qt::RightButton) emit ContextMenuRequested(event->globalPosition().toPoint());
}

void TJobListView::contextMenuEvent(QContextMenuEvent* event) {
  // The mouse's menu came with the press already; the keyboard's opens at the current row.
  if (event->reason() != QContextMenuEvent::Mouse) {
    const QModelIndex current = currentIndex();
    const QPoint at = current.isValid() ? visualRect(current).bottomLeft() : QPoint(0, 0);
    emit ContextMenuRequested(viewport()->mapToGlobal(at));
  }
  event->accept();
}

// Every selected row's fill depends on the focus, not only the current row's.
void TJobListView::focusInEvent(QFocusEvent* event) {
  QTreeView::focusInEvent(event);
  viewport()->update();
}

void TJobListView::focusOutEvent(QFocusEvent* event) {
  QTreeView::focusOutEvent(event);
  viewport()->update();
}

void TJobListView::dragEnterEvent(QDragEnterEvent* event) {
  if (LocalFilesOf(event->mimeData()).empty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
}

void TJobListView::dragMoveEvent(QDragMoveEvent* event) {
  if (LocalFilesOf(event->mimeData()).empty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
}

void TJobListView::dropEvent(QDropEvent* event) {
  const std::vector<std::string> paths = ExpandDroppedPaths(LocalFilesOf(event->mimeData()));
  if (paths.empty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  emit FilesDropped(paths);
}

} // namespace kavro
