#include "CatalogueRowDelegate.h"

#include "CatalogueList.h"
#include "CatalogueRowsModel.h"
#include "CategoryIcons.h"

#include <QPainter>

namespace kavro {
namespace {

constexpr int SignSize = 9;
constexpr int IconLeft = TCatalogueList::FoldHotWidth + 2;
constexpr int CaptionLeft = IconLeft + CategoryIconSize + 6;
// Format rows sit under their header's caption, a little further in.
constexpr int FormatLeft = CaptionLeft + 8;

// A boxed plus or minus, centred in the fold hot zone.
void DrawFoldSign(QPainter& painter, const QRect& row, bool collapsed, const QColor& colour) {
  const QRect box(row.left() + (TCatalogueList::FoldHotWidth - SignSize) / 2,
                  row.top() + (row.height() - SignSize) / 2, SignSize - 1, SignSize - 1);
  painter.setPen(colour);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(box);
  const int middleY = box.top() + box.height() / 2;
  const int middleX = box.left() + box.width() / 2;
  painter.drawLine(box.left() + 2, middleY, box.right() - 2, middleY);
  if (collapsed) painter.drawLine(middleX, box.top() + 2, middleX, box.bottom() - 2);
}

} // namespace

void TCatalogueRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
  const QPalette& palette = option.palette;
  const QRect row = option.rect;
  const bool header = index.data(TCatalogueRowsModel::IsCategoryRole).toBool();
  const bool selected = index.data(TCatalogueRowsModel::SelectedRole).toBool();
  painter->save();
  QColor text = palette.color(header ? QPalette::ButtonText : QPalette::Text);
  if (selected) {
    painter->fillRect(row, palette.color(QPalette::Highlight));
    text = palette.color(QPalette::HighlightedText);
  } else if (header) {
    painter->fillRect(row, palette.color(QPalette::Button));
  }

  QFont font = option.font;
  int textLeft = FormatLeft;
  if (header) {
    DrawFoldSign(*painter, row, index.data(TCatalogueRowsModel::CollapsedRole).toBool(), text);
    const auto* model = qobject_cast<const TCatalogueRowsModel*>(index.model());
    if (model) {
      const QPixmap icon =
          CategoryIcon(model->Edition(), index.data(TCatalogueRowsModel::CategoryRole).toInt());
      painter->drawPixmap(row.left() + IconLeft, row.top() + (row.height() - CategoryIconSize) / 2, icon);
    }
    font.setBold(true);
    textLeft = CaptionLeft;
  }
  painter->setFont(font);
  painter->setPen(text);
  const QRect textRect = row.adjusted(textLeft, 0, -2, 0);
  const QString caption =
      QFontMetrics(font).elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, textRect.width());
  painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, caption);
  painter->restore();
}

QSize TCatalogueRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  return {QStyledItemDelegate::sizeHint(option, index).width(), TCatalogueList::RowHeight};
}

} // namespace kavro
