#include "UnicodeProtocol.h"

namespace kavro {

void RegisterUnicodeProtocol() {}

} // namespace kavro
