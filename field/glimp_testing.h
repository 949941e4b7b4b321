// Test hooks of the Glimp: only the module that defines them and the tests include this header.
#pragma once

#include "field/glimp.h"

namespace GlimpTesting {

// Sets the Glimp size without pictures.
void set_size(int w, int h);

} // namespace GlimpTesting
