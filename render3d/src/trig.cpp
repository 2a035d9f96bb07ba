#include "render3d/trig.hpp"

#include <cmath>

namespace render3d::trig {

double sin(double x) noexcept { return std::sin(x); }
double cos(double x) noexcept { return std::cos(x); }

}  // namespace render3d::trig
