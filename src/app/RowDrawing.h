// The drawing of one conversion task: the row's watermark and effects, copied whole when the task is
// built so that later changes to the row are never half-seen, with the watermark image read once for
// the whole task. Draws on the task's worker thread.
#pragma once

#include <memory>
#include <string>

#include "JobRecord.h"
#include "WatermarkRenderer.h"

namespace kavro {

// True when the row has text, an image or a colour effect to draw on its pictures.
bool HasSomethingToDraw(const TlvFilesRecord& row);

// The row's values as the renderer takes them, without the image.
TWatermarkValues WatermarkValuesOf(const TlvFilesRecord& row);

class TRowDrawing {
public:
  // Null with the reason when the row's watermark image cannot be read; the reason names the file.
  static std::unique_ptr<TRowDrawing> Make(const TlvFilesRecord& row, const TWatermarkTools& tools,
                                           std::string& error);
  // For a preview of the row: an image that cannot be read is left out (the conversion says why).
  static std::unique_ptr<TRowDrawing> ForPreview(const TlvFilesRecord& row, const TWatermarkTools& tools);
  void Draw(TBitmap& frame) { FRenderer.Draw(frame, FValues); }

private:
  TRowDrawing(TWatermarkValues values, TTextDrawer* text) : FValues(std::move(values)), FRenderer(text) {}
  const TWatermarkValues FValues;
  TWatermarkRenderer FRenderer;
};

} // namespace kavro
