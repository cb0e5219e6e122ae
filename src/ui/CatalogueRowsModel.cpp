#include "CatalogueRowsModel.h"

namespace kavro {

TCatalogueRowsModel::TCatalogueRowsModel(TCatalogueList& catalogue, QObject* parent)
    : QAbstractListModel(parent), FCatalogue(catalogue) {}

int TCatalogueRowsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : FCatalogue.RowCount();
}

QVariant TCatalogueRowsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= FCatalogue.RowCount()) return {};
  const TCatalogueRow& row = FCatalogue.Row(index.row());
  switch (role) {
  case Qt::DisplayRole:
    return QString::fromStdString(row.Text);
  case IsCategoryRole:
    return row.Info.IsCategory;
  case CollapsedRole:
    return row.Info.Collapsed;
  case CategoryRole:
    return row.Info.IsCategory ? row.Info.Code : row.Info.Code / 100;
  case SelectedRole:
    return index.row() == FCatalogue.ItemIndex();
  default:
    return {};
  }
}

void TCatalogueRowsModel::Reset() {
  beginResetModel();
  endResetModel();
}

void TCatalogueRowsModel::SelectionMoved(int from, int to) {
  for (const int row : {from, to})
    if (row >= 0 && row < rowCount()) emit dataChanged(index(row), index(row), {SelectedRole});
}

} // namespace kavro
