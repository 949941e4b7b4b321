// Test hooks of the Glimp; the game itself never includes this header.
#pragma once

#include "field/glimp.h"

namespace GlimpTesting {

// Sets the Glimp size without pictures.
void set_size(int w, int h);

} // namespace GlimpTesting
