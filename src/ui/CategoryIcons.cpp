#include "CategoryIcons.h"

#include "FormatCatalogue.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QPainter>
#include <QPainterPath>

#include <string_view>

namespace kavro {
namespace {

enum class TPicture { Player, Phone, Television, Handheld, Console, Disc, FilmStrip, Flash, Note };

// A category's picture: its kind and the colour that tells it from its neighbours. Categories are
// found by caption, so both editions share the pictures of the categories they share.
struct TCategoryPicture {
  std::string_view Caption;
  TPicture Picture;
  QRgb Accent;
};

constexpr TCategoryPicture CategoryPictures[] = {
    {"Apple iPod", TPicture::Player, 0xff9aa4b0},
    {"Apple iPhone", TPicture::Phone, 0xff4a90d9},
    {"Apple TV", TPicture::Television, 0xff4a90d9},
    {"GPhone", TPicture::Phone, 0xff5cb85c},
    {"Sony PSP", TPicture::Handheld, 0xff3c4a8c},
    {"Sony PS3", TPicture::Console, 0xff3c4a8c},
    {"Microsoft Zune", TPicture::Player, 0xffe07b2a},
    {"Sony Walkman", TPicture::Player, 0xffc0392b},
    {"Archos", TPicture::Player, 0xff7f8c8d},
    {"Creative Zen", TPicture::Player, 0xff8e44ad},
    {"iRiver", TPicture::Player, 0xff16a085},
    {"Sandisk Sansa", TPicture::Player, 0xffd35400},
    {"Microsoft xbox 360", TPicture::Console, 0xff4caf50},
    {"Nitendeo WII", TPicture::Console, 0xff5dade2},
    {"Mobile Phone", TPicture::Phone, 0xff95a5a6},
    {"BlackBerry", TPicture::Phone, 0xff34495e},
    {"Nokia", TPicture::Phone, 0xff2e86c1},
    {"Windows Mobile", TPicture::Phone, 0xff27ae60},
    {"Quick Time Video - MOV", TPicture::FilmStrip, 0xff5dade2},
    {"Flash Video", TPicture::Flash, 0xffd63a2f},
    {"Toshiba Gigabeat", TPicture::Player, 0xff5d6d7e},
    {"HD Video", TPicture::Television, 0xff2c3e50},
    {"DVD Video", TPicture::Disc, 0xff8e44ad},
    {"SVCD Video", TPicture::Disc, 0xff2e86c1},
    {"VCD Video", TPicture::Disc, 0xff27ae60},
    {"Matroska Video - MKV", TPicture::FilmStrip, 0xff8e44ad},
    {"General Video formates", TPicture::FilmStrip, 0xffe67e22},
    {"General Audio formates", TPicture::Note, 0xff2e86c1},
};

const QColor Outline(0x40, 0x40, 0x40);
const QColor Glass(0xdd, 0xe8, 0xf0);

void DrawPlayer(QPainter& painter, const QColor& accent) {
  painter.setPen(Outline);
  painter.setBrush(accent);
  painter.drawRoundedRect(QRectF(3.5, 0.5, 9, 15), 2, 2);
  painter.setBrush(Glass);
  painter.drawRect(QRectF(5.5, 2.5, 5, 5));
  painter.setBrush(Qt::white);
  painter.drawEllipse(QPointF(8, 11.5), 2.5, 2.5);
}

void DrawPhone(QPainter& painter, const QColor& accent) {
  painter.setPen(Outline);
  painter.setBrush(QColor(0x30, 0x30, 0x30));
  painter.drawRoundedRect(QRectF(4.5, 0.5, 7, 15), 1.5, 1.5);
  painter.setPen(Qt::NoPen);
  painter.setBrush(accent);
  painter.drawRect(QRectF(5.5, 2.5, 5, 9));
  painter.setBrush(Qt::white);
  painter.drawEllipse(QPointF(8, 13.5), 1, 1);
}

void DrawTelevision(QPainter& painter, const QColor& accent) {
  painter.setPen(Outline);
  painter.setBrush(QColor(0x30, 0x30, 0x30));
  painter.drawRect(QRectF(0.5, 2.5, 15, 10));
  painter.setBrush(accent);
  painter.drawRect(QRectF(2, 4, 12, 7));
  painter.setPen(QPen(Outline, 1.5));
  painter.drawLine(QPointF(5, 15), QPointF(11, 15));
  painter.drawLine(QPointF(8, 12.5), QPointF(8, 15));
}

void DrawHandheld(QPainter& painter, const QColor& accent) {
  painter.setPen(Outline);
  painter.setBrush(accent);
  painter.drawRoundedRect(QRectF(0.5, 4.5, 15, 8), 3.5, 3.5);
  painter.setBrush(Glass);
  painter.drawRect(QRectF(4.5, 5.5, 7, 6));
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::white);
  painter.drawEllipse(QPointF(2.5, 8.5), 1, 1);
  painter.drawEllipse(QPointF(13.5, 8.5), 1, 1);
}

void DrawConsole(QPainter& painter, const QColor& accent) {
  QPainterPath pad;
  pad.addRoundedRect(QRectF(0.5, 4.5, 15, 7), 3.5, 3.5);
  pad.addEllipse(QPointF(3.5, 11.5), 3, 3);
  pad.addEllipse(QPointF(12.5, 11.5), 3, 3);
  painter.setPen(Outline);
  painter.setBrush(accent);
  painter.drawPath(pad.simplified());
  painter.setPen(QPen(Qt::white, 1.5));
  painter.drawLine(QPointF(2.5, 8), QPointF(6.5, 8));
  painter.drawLine(QPointF(4.5, 6), QPointF(4.5, 10));
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::white);
  painter.drawEllipse(QPointF(11, 7.5), 1, 1);
  painter.drawEllipse(QPointF(13, 9.5), 1, 1);
}

void DrawDisc(QPainter& painter, const QColor& accent) {
  painter.setPen(Outline);
  painter.setBrush(QColor(0xd8, 0xd8, 0xd8));
  painter.drawEllipse(QPointF(8, 8), 7.5, 7.5);
  painter.setPen(Qt::NoPen);
  painter.setBrush(accent);
  painter.drawEllipse(QPointF(8, 8), 5, 5);
  painter.setPen(Outline);
  painter.setBrush(Qt::white);
  painter.drawEllipse(QPointF(8, 8), 1.8, 1.8);
}

void DrawFilmStrip(QPainter& painter, const QColor& accent) {
  painter.setPen(Outline);
  painter.setBrush(QColor(0x30, 0x30, 0x30));
  painter.drawRect(QRectF(1.5, 0.5, 13, 15));
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::white);
  for (int y = 2; y < 15; y += 3) {
    painter.drawRect(QRectF(2.5, y, 1.5, 1.5));
    painter.drawRect(QRectF(12, y, 1.5, 1.5));
  }
  painter.setBrush(accent);
  painter.drawRect(QRectF(5, 2, 6, 5));
  painter.drawRect(QRectF(5, 9, 6, 5));
}

void DrawFlash(QPainter& painter, const QColor& accent) {
  painter.setPen(Qt::NoPen);
  painter.setBrush(accent);
  painter.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(13);
  font.setBold(true);
  font.setItalic(true);
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("f"));
}

void DrawNote(QPainter& painter, const QColor& accent) {
  painter.setPen(Qt::NoPen);
  painter.setBrush(accent);
  painter.drawEllipse(QPointF(4, 12.5), 3, 2.3);
  painter.drawEllipse(QPointF(12, 11), 3, 2.3);
  painter.setPen(QPen(accent, 1.6));
  painter.drawLine(QPointF(6.6, 12), QPointF(6.6, 2.5));
  painter.drawLine(QPointF(14.6, 10.5), QPointF(14.6, 1));
  painter.setPen(QPen(accent, 2.6));
  painter.drawLine(QPointF(6.6, 2.8), QPointF(14.6, 1.3));
}

QPixmap Draw(const TCategoryPicture& entry) {
  QPixmap pixmap(CategoryIconSize, CategoryIconSize);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const QColor accent = QColor::fromRgba(entry.Accent);
  switch (entry.Picture) {
  case TPicture::Player:
    DrawPlayer(painter, accent);
    break;
  case TPicture::Phone:
    DrawPhone(painter, accent);
    break;
  case TPicture::Television:
    DrawTelevision(painter, accent);
    break;
  case TPicture::Handheld:
    DrawHandheld(painter, accent);
    break;
  case TPicture::Console:
    DrawConsole(painter, accent);
    break;
  case TPicture::Disc:
    DrawDisc(painter, accent);
    break;
  case TPicture::FilmStrip:
    DrawFilmStrip(painter, accent);
    break;
  case TPicture::Flash:
    DrawFlash(painter, accent);
    break;
  case TPicture::Note:
    DrawNote(painter, accent);
    break;
  }
  return pixmap;
}

// A caption the table does not know still gets a picture: the generic film strip.
constexpr TCategoryPicture UnknownCategory{"", TPicture::FilmStrip, 0xff7f8c8d};

const TCategoryPicture& PictureOf(std::string_view caption) {
  for (const auto& entry : CategoryPictures)
    if (entry.Caption == caption) return entry;
  return UnknownCategory;
}

} // namespace

QPixmap CategoryIcon(TEdition edition, int category) {
  const std::string caption = CategoryCaption(edition, category);
  if (caption.empty()) return {};
  // Drawn once per caption; the list paints a row many times a second while the pointer moves.
  static QHash<QString, QPixmap> cache;
  const QString key = QString::fromStdString(caption);
  auto found = cache.find(key);
  if (found == cache.end()) found = cache.insert(key, Draw(PictureOf(caption)));
  return *found;
}

} // namespace kavro
