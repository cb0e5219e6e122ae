// Base of every component of the media set.
#pragma once

#include "platform/Object.h"

namespace kavro {

class TFFBaseComponent : public TObject {};

} // namespace kavro
