// TJobListView (lvFiles): the job list's view with its model and delegate; passes the user's
// selection, focus and checks to the list, and double-clicks, the Delete key, right-button presses
// and dropped files to the main window. Main thread only.
#pragma once

#include <QTreeView>

#include <string>
#include <vector>

#include "JobList.h"
#include "JobListDelegate.h"
#include "JobListModel.h"

namespace kavro {

class TJobListView : public QTreeView {
  Q_OBJECT

public:
  explicit TJobListView(TJobList& list, QWidget* parent = nullptr);

  TJobListModel& Model() { return *FModel; }
  TJobListDelegate& Delegate() { return *FDelegate; }
  void SetSkinIndex(int index);
  // The list's selection and focused row shown in the view (after Add, Remove, Clear); rows added or
  // removed since the view last looked are shown first.
  void SyncFromList();
  // The list changed wholesale: rows, checks, selection and focus shown anew.
  void Reload();
  // The text the cell shows, ellipsis included.
  QString ShownText(int row, int column) const;

signals:
  // Local files and folders dropped on the list, folders already expanded into their media files.
  void FilesDropped(const std::vector<std::string>& paths);
  // A row was double-clicked.
  void PreviewRequested(int row);
  // The right mouse button was pressed over the list, or the menu key pressed.
  void ContextMenuRequested(const QPoint& globalPos);
  // The Delete key was pressed.
  void DeleteRequested();

protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

private:
  // The view's selection and current row written to the list.
  void SyncToList();

  TJobList& FList;
  TJobListModel* FModel;
  TJobListDelegate* FDelegate;
  // Set while the view is made to follow the list, so its signals do not write back half-done states.
  bool FSyncing = false;
};

} // namespace kavro
