// TJobListDelegate: draws the job list's rows itself — fixed light backgrounds tinted by the colour
// theme, a drawn check box before the source path, one elided line per cell, a frame round the
// focused row — and toggles the check when its box is clicked. Main thread only.
#pragma once

#include <QColor>
#include <QStyledItemDelegate>

namespace kavro {

class TJobListDelegate : public QStyledItemDelegate {
  Q_OBJECT

public:
  explicit TJobListDelegate(QObject* parent = nullptr);

  // The colour theme's index; out of 0 to 6 is the built-in look.
  void SetSkinIndex(int index) { FSkinIndex = index; }
  int SkinIndex() const { return FSkinIndex; }

  // The tint of odd rows under a theme.
  static QColor OddRowColor(int skinIndex);
  // The check box in the first cell of a row.
  static QRect CheckBoxRect(const QRect& cell);
  // The text as drawn in the cell: one line, cut with an ellipsis where it does not fit.
  QString ShownText(const QStyleOptionViewItem& option, const QModelIndex& index) const;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
  bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

private:
  // Where the text of a cell goes.
  static QRect TextRect(const QRect& cell, int column);
  void PaintCheckBox(QPainter& painter, const QRect& box, bool checked) const;

  int FSkinIndex = 0;
};

// A colour given as a Windows colour number (0x00BBGGRR).
QColor ColorFromBgr(unsigned bgr);

} // namespace kavro
