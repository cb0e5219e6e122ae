// Draws the rows of the format drop-down list lst1, 20 pixels high: a category header with its fold
// sign left of the fold hot zone's edge, the category's picture and its caption; a format row
// indented under it. Colours come from the palette. GUI thread only.
#pragma once

#include <QStyledItemDelegate>

namespace kavro {

class TCatalogueRowDelegate : public QStyledItemDelegate {
  Q_OBJECT

public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace kavro
