#pragma once
// The few fixed-width types the program's state is described in.
#include <cstdint>

using BOOL = int32_t;  // 0 or 1, kept as a 32-bit integer like the stored settings
