// Window look decisions that need no window.
#pragma once

#include <cstdint>

namespace kw {

// One step of the opacity fade toward FAlpha percent: alpha (0..255) moves 10 toward the
// target, or onto it when closer than 10; at 100 percent or more nothing changes (the look
// sets full opacity at once).
int NextFadeAlpha(int alpha, int32_t fAlpha);

}  // namespace kw
