#include "JobListModel.h"

#include <array>

namespace kavro {
namespace {

constexpr std::array<const char*, TJobListModel::ColumnCount> ColumnTitles = {
    "Source", "Length", "Trimmed Length", "Destination File", "Progress"};

} // namespace

TJobListModel::TJobListModel(TJobList& list, QObject* parent)
    : QAbstractTableModel(parent), FList(list), FRowCount(list.Count()) {}

int TJobListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : FRowCount;
}

int TJobListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

QVariant TJobListModel::data(const QModelIndex& index, int role) const {
  // The list may have changed before the view hears of it; such rows show nothing.
  if (!index.isValid() || index.row() >= FList.Count() || index.column() >= ColumnCount) return {};
  const TJobRow& row = FList.Row(index.row());
  switch (role) {
  case Qt::DisplayRole:
    return CellText(row, index.column());
  case Qt::CheckStateRole:
    if (index.column() != colSource) return {};
    return row.Checked ? Qt::Checked : Qt::Unchecked;
  case Qt::ToolTipRole:
    if (row.Error.empty()) return {};
    return QString::fromLocal8Bit(row.Error.c_str());
  case Qt::TextAlignmentRole:
    return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
  default:
    return {};
  }
}

bool TJobListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::CheckStateRole || !index.isValid() || index.column() != colSource ||
      index.row() >= FList.Count())
    return false;
  FList.SetChecked(index.row(), value.value<Qt::CheckState>() == Qt::Checked);
  emit dataChanged(index, index, {Qt::CheckStateRole});
  return true;
}

QVariant TJobListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
    return {};
  return QString::fromLatin1(ColumnTitles[static_cast<size_t>(section)]);
}

Qt::ItemFlags TJobListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
  if (index.column() == colSource) result |= Qt::ItemIsUserCheckable;
  return result;
}

void TJobListModel::Reset() {
  beginResetModel();
  FRowCount = FList.Count();
  endResetModel();
}

void TJobListModel::RowChanged(int row) {
  if (row < 0 || row >= FRowCount) return;
  emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void TJobListModel::RowsChanged() {
  if (FRowCount > 0) emit dataChanged(index(0, 0), index(FRowCount - 1, ColumnCount - 1));
}

QString TJobListModel::CellText(const TJobRow& row, int column) const {
  switch (column) {
  case colSource:
    return QString::fromLocal8Bit(row.Record.SourceFile.c_str());
  case colLength:
    return QString::fromLocal8Bit(row.Length.c_str());
  case colTrimmedLength:
    return QString::fromLocal8Bit(row.TrimmedLength.c_str());
  case colDestination:
    return QString::fromLocal8Bit(row.DestName.c_str());
  default:
    return QString::fromLocal8Bit(row.Progress.c_str());
  }
}

} // namespace kavro
