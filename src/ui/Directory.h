// TfmDirectory: the folder picker of the output and snapshot folders. It owns a folder tree of the
// whole file system; Ok is refused for the system's special folders and for folders on read-only
// mounts (with a message through the application's dialogs). GUI thread only.
#pragma once

#include "AppDialogs.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>

class QFileSystemModel;
class QLabel;
class QModelIndex;
class QPushButton;
class QTreeView;

namespace kavro {

inline constexpr const char* ReadOnlyFolderText =
    "Output folder cannot be located in CD-ROM.Please select another folder.";

class TfmDirectory : public QDialog {
  Q_OBJECT

public:
  // title: the application title, the caption of the picker's messages.
  TfmDirectory(TAppDialogs& dialogs, const std::string& title, QWidget* parent = nullptr);

  // Opens the tree at "/" and then moves to the folder, or to its nearest existing parent.
  void SetStartFolder(const std::string& folder);
  // The folder selected in the tree; empty when none is.
  std::string SelectedFolder() const;
  void SelectFolder(const std::string& folder);

  // Runs the picker modally; the folder, or nothing when cancelled.
  static std::optional<std::string> Pick(TAppDialogs& dialogs, const std::string& title,
                                         const std::string& startFolder, QWidget* parent);

  // The read-only test of Ok; tests replace it, as no machine is sure to have a read-only mount.
  std::function<bool(const std::string&)> IsReadOnly;

protected:
  void showEvent(QShowEvent* event) override;

private:
  // Brings the selected folder into view once the tree has laid out its rows.
  void ScheduleScroll();
  void SelectionChanged(const QModelIndex& current);
  void btnOkClick();

  TAppDialogs& FDialogs;
  std::string FTitle;
  QLabel* lblSelect = nullptr;
  QTreeView* stview_selectdir = nullptr;
  QFileSystemModel* FModel = nullptr;
  QPushButton* btnOk = nullptr;
  QPushButton* btnCancel = nullptr;
  bool FFollowSelection = true;
  bool FScrollPending = false;
};

} // namespace kavro
