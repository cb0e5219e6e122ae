#include "JobListDelegate.h"

#include <QAbstractItemView>
#include <QMouseEvent>
#include <QPainter>

#include <array>

namespace kavro {
namespace {

constexpr int CheckBoxSize = 12;
constexpr int TextInset = 3;

// Odd-row tints of the seven themes, then the built-in look's.
constexpr std::array<unsigned, 7> ThemeTints = {16180962, 15527148, 14742264, 15853302,
                                                14803447, 14809058, 16249057};
constexpr unsigned DefaultTint = 15461355;
constexpr unsigned FocusFill = 15518905;
constexpr unsigned FocusFillInactive = 16313573;
constexpr unsigned FocusFrame = 14327930;
constexpr unsigned FocusFrameInactive = 14857624;

// The view whose row is drawn; the current row and its focus are read from it.
const QAbstractItemView* ViewOf(const QStyleOptionViewItem& option) {
  return qobject_cast<const QAbstractItemView*>(option.widget);
}

} // namespace

QColor ColorFromBgr(unsigned bgr) {
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}

TJobListDelegate::TJobListDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

QColor TJobListDelegate::OddRowColor(int skinIndex) {
  if (skinIndex < 0 || skinIndex >= static_cast<int>(ThemeTints.size())) return ColorFromBgr(DefaultTint);
  return ColorFromBgr(ThemeTints[static_cast<size_t>(skinIndex)]);
}

QRect TJobListDelegate::CheckBoxRect(const QRect& cell) {
  return QRect(cell.left() + TextInset, cell.top() + (cell.height() - CheckBoxSize) / 2, CheckBoxSize,
               CheckBoxSize);
}

QRect TJobListDelegate::TextRect(const QRect& cell, int column) {
  const int left = column == 0 ? CheckBoxRect(cell).right() + 1 + TextInset : cell.left() + TextInset;
  return QRect(QPoint(left, cell.top()), QPoint(cell.right() - TextInset, cell.bottom()));
}

QString TJobListDelegate::ShownText(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  const QString text = index.data(Qt::DisplayRole).toString();
  const int width = TextRect(option.rect, index.column()).width();
  return option.fontMetrics.elidedText(text, Qt::ElideRight, qMax(width, 0));
}

void TJobListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
  const QAbstractItemView* view = ViewOf(option);
  const bool current = view && view->currentIndex().isValid() && view->currentIndex().row() == index.row();
  const bool viewFocused = view ? view->hasFocus() : (option.state & QStyle::State_HasFocus) != 0;
  const bool selected = (option.state & QStyle::State_Selected) != 0;
  const QRect& cell = option.rect;

  painter->save();
  // Selected rows share the focused row's fill, so a selection of several rows shows whole.
  QColor background = index.row() % 2 == 0 ? QColor(Qt::white) : OddRowColor(FSkinIndex);
  if (current || selected) background = ColorFromBgr(viewFocused ? FocusFill : FocusFillInactive);
  painter->fillRect(cell, background);

  if (index.column() == 0) {
    const QVariant check = index.data(Qt::CheckStateRole);
    PaintCheckBox(*painter, CheckBoxRect(cell), check.value<Qt::CheckState>() == Qt::Checked);
  }

  // The backgrounds are fixed light colours whatever the theme, so the text stays black.
  painter->setPen(Qt::black);
  painter->setFont(option.font);
  const Qt::Alignment horizontal =
      index.data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask;
  painter->drawText(TextRect(cell, index.column()), int(horizontal | Qt::AlignVCenter | Qt::TextSingleLine),
                    ShownText(option, index));

  if (current) {
    painter->setPen(QPen(ColorFromBgr(viewFocused ? FocusFrame : FocusFrameInactive), 1));
    painter->drawLine(cell.topLeft(), cell.topRight());
    painter->drawLine(cell.bottomLeft(), cell.bottomRight());
    if (index.column() == 0) painter->drawLine(cell.topLeft(), cell.bottomLeft());
    if (index.column() == index.model()->columnCount(index.parent()) - 1)
      painter->drawLine(cell.topRight(), cell.bottomRight());
  }
  painter->restore();
}

void TJobListDelegate::PaintCheckBox(QPainter& painter, const QRect& box, bool checked) const {
  // A 2-pixel pen is centred on the path, so the outline path lies one pixel inside the box.
  painter.setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(QRectF(box).adjusted(1, 1, -1, -1));
  if (!checked) return;
  const QPointF tick[3] = {QPointF(box.left() + 3, box.top() + 6), QPointF(box.left() + 5, box.top() + 8.5),
                           QPointF(box.left() + 9, box.top() + 3.5)};
  painter.drawPolyline(tick, 3);
}

QSize TJobListDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  QSize size = QStyledItemDelegate::sizeHint(option, index);
  size.setHeight(qMax(option.fontMetrics.height(), CheckBoxSize) + 6);
  return size;
}

bool TJobListDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                   const QStyleOptionViewItem& option, const QModelIndex& index) {
  const QEvent::Type type = event->type();
  if (type != QEvent::MouseButtonRelease && type != QEvent::MouseButtonDblClick) return false;
  if (!(index.flags() & Qt::ItemIsUserCheckable)) return false;
  const auto* mouse = static_cast<QMouseEvent*>(event);
  if (mouse->button() != Qt::LeftButton || !CheckBoxRect(option.rect).contains(mouse->position().toPoint()))
    return false;
  // The second click of a double click toggles on its release again, as a box of the style would.
  if (type == QEvent::MouseButtonDblClick) return true;
  const bool checked = index.data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked;
  return model->setData(index, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
}

} // namespace kavro
