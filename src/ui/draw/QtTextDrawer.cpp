#include "QtTextDrawer.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

namespace kavro {

QFont TQtTextDrawer::FontFor(const TMarkFont& font) {
  QFont result;
  if (font.Name == "MS Sans Serif" || font.Name.empty()) {
    result = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    if (result.family().isEmpty()) result.setFamily(QStringLiteral("Sans Serif"));
  } else {
    // A face the system lacks falls back through Qt's own matching.
    result.setFamily(QString::fromLocal8Bit(font.Name.c_str()));
  }
  result.setStyleHint(QFont::SansSerif);
  result.setPointSize(std::max(1, font.Size));
  result.setBold(font.Bold);
  result.setItalic(font.Italic);
  result.setUnderline(font.Underline);
  result.setStrikeOut(font.StrikeOut);
  return result;
}

void TQtTextDrawer::DrawText(TBitmap& bitmap, const std::string& text, const TMarkFont& font, int x, int y) {
  if (text.empty() || bitmap.Width() <= 0 || bitmap.Height() <= 0) return;
  // Wraps the rows without a copy: the painter writes straight into the frame.
  QImage image(bitmap.ScanLine(0), bitmap.Width(), bitmap.Height(), bitmap.RowStride(),
               QImage::Format_BGR888);
  QPainter painter(&image);
  const QFont qtFont = FontFor(font);
  painter.setFont(qtFont);
  // 0x00BBGGRR
  painter.setPen(QColor(font.Color & 0xFF, (font.Color >> 8) & 0xFF, (font.Color >> 16) & 0xFF));
  // The painter places text by its baseline; the row's position is the top-left corner.
  painter.drawText(x, y + QFontMetrics(qtFont, &image).ascent(), QString::fromLocal8Bit(text.c_str()));
}

} // namespace kavro
