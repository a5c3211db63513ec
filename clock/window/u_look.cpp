#include "clock/window/u_look.h"

#include <cstdlib>

namespace kw {

int NextFadeAlpha(int alpha, int32_t fAlpha) {
  if (fAlpha >= 100) return alpha;
  const int target = static_cast<int>(fAlpha) * 255 / 100;
  if (std::abs(target - alpha) < 10) return target;
  return alpha + (target > alpha ? 10 : -10);
}

}  // namespace kw
