// Common root of the media layer's components, engines and loggers: what an event's Sender points to.
#pragma once

namespace kavro {

class TObject {
public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
};

} // namespace kavro
