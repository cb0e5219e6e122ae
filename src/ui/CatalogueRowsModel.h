// The rows of the format drop-down list lst1 as a Qt item model: a read-only view of the
// catalogue's rows, told to reset whenever the catalogue folds, is rebuilt or selects another row.
// GUI thread only; the catalogue outlives the model.
#pragma once

#include "CatalogueList.h"

#include <QAbstractListModel>

namespace kavro {

class TCatalogueRowsModel : public QAbstractListModel {
  Q_OBJECT

public:
  enum TRole {
    IsCategoryRole = Qt::UserRole + 1,
    CollapsedRole,
    CategoryRole, // the category number of a header and of a format row
    SelectedRole, // the catalogue's selected row
  };

  explicit TCatalogueRowsModel(TCatalogueList& catalogue, QObject* parent = nullptr);

  TEdition Edition() const { return FCatalogue.Edition(); }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  // The rows changed in number or content.
  void Reset();
  // The selection moved from one row to another; only those two are drawn again.
  void SelectionMoved(int from, int to);

private:
  TCatalogueList& FCatalogue;
};

} // namespace kavro
