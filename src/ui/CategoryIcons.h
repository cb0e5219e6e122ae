// The small pictures of the format catalogue's categories (a player, a phone, a console, a disc, a
// film strip, a note for sound and so on), drawn once with QPainter and kept. GUI thread only.
#pragma once

#include "GlobalUnit.h"

#include <QPixmap>

namespace kavro {

inline constexpr int CategoryIconSize = 16;

// The picture of a category of an edition; a null pixmap for a number the edition does not have.
QPixmap CategoryIcon(TEdition edition, int category);

} // namespace kavro
