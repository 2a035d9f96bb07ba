#pragma once
// Sine and cosine for everything the effects compute. Every build must draw the same pixels, so all
// trigonometry goes through this one place rather than whatever the platform's library returns.

namespace render3d::trig {

double sin(double x) noexcept;
double cos(double x) noexcept;

}  // namespace render3d::trig
