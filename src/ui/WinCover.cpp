#include "WinCover.h"

#include "platform/ProgramPaths.h"

#include <QLinearGradient>
#include <QPainter>
#include <QTimer>

namespace kavro {

TfrmCover::TfrmCover(TEdition edition) {
  setObjectName("frmCover");
  QPixmap cover(CoverFile(edition, QString::fromStdString(ProgramFolder())));
  if (cover.isNull()) cover = DrawnCover(QString::fromUtf8(EditionInfo(edition).Title));
  setPixmap(cover);
}

void TfrmCover::ShowForAWhile() {
  show();
  QTimer::singleShot(ShowMilliseconds, this, &QWidget::close);
}

QString TfrmCover::CoverFile(TEdition edition, const QString& folder) {
  return folder + (edition == TEdition::Flv ? "skin/flvvideocover.jpg" : "skin/videocover.jpg");
}

QPixmap TfrmCover::DrawnCover(const QString& title) {
  QPixmap cover(420, 240);
  QPainter painter(&cover);
  painter.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, cover.height());
  sky.setColorAt(0, QColor(28, 64, 118));
  sky.setColorAt(1, QColor(8, 20, 44));
  painter.fillRect(cover.rect(), sky);
  // A film strip across the middle: the converter's sign.
  const QRect strip(0, 86, cover.width(), 64);
  painter.fillRect(strip, QColor(18, 18, 18));
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(230, 230, 230));
  for (int x = 6; x < cover.width(); x += 22) {
    painter.drawRoundedRect(QRect(x, strip.top() + 5, 12, 8), 2, 2);
    painter.drawRoundedRect(QRect(x, strip.bottom() - 12, 12, 8), 2, 2);
  }
  painter.setPen(Qt::white);
  QFont font = painter.font();
  font.setPixelSize(24);
  font.setBold(true);
  painter.setFont(font);
  painter.drawText(strip, Qt::AlignCenter, title);
  font.setPixelSize(13);
  font.setBold(false);
  painter.setFont(font);
  painter.drawText(QRect(0, 190, cover.width(), 30), Qt::AlignCenter, "Loading...");
  return cover;
}

} // namespace kavro
