// TJobListModel: the job list as a five-column table for the list view; the list stays the owner
// of the rows, this only shows them and passes check clicks back. Main thread only.
#pragma once

#include <QAbstractTableModel>

#include "JobList.h"

namespace kavro {

class TJobListModel : public QAbstractTableModel {
  Q_OBJECT

public:
  enum TColumn { colSource, colLength, colTrimmedLength, colDestination, colProgress, ColumnCount };

  explicit TJobListModel(TJobList& list, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // Rows were added, removed or cleared; the views forget their selection (SyncFromList restores it).
  void Reset();
  // The texts or the check of one row changed.
  void RowChanged(int row);
  // The texts or checks of every row changed, the rows themselves did not (check commands, a new run).
  void RowsChanged();

  TJobList& List() { return FList; }

private:
  // The row's text in the column, as the list keeps it.
  QString CellText(const TJobRow& row, int column) const;

  TJobList& FList;
  // The rows the views were last told of; the list itself changes before they hear of it.
  int FRowCount = 0;
};

} // namespace kavro
