// File names outside the locale's encoding at the media libraries.
#pragma once

namespace kavro {

// Called once when avformat becomes ready. Today's libraries take no protocol registration: the
// engine opens its own I/O context for such names, so there is nothing to register up front.
void RegisterUnicodeProtocol();

} // namespace kavro
