// CIE L*a*b* (D65) to sRGB by the published formulas, written from the standards and not from the
// converter: CIE 15 (Lab to XYZ, D65 white 0.9505, 1, 1.0890), IEC 61966-2-1 (XYZ to linear sRGB,
// then the transfer curve). The reference the Lab tests of the converter and the PSD reader share.
#pragma once

#include <algorithm>
#include <cmath>

namespace vistrel::test {

// Red, green and blue in 0..255, unrounded.
inline void StandardLabToSrgb(double l, double a, double b, double rgb[3]) {
  const double fy = (l + 16) / 116, fx = fy + a / 500, fz = fy - b / 200;
  auto finv = [](double t) {
    return t > 6.0 / 29 ? t * t * t : 3 * (6.0 / 29) * (6.0 / 29) * (t - 4.0 / 29);
  };
  const double x = 0.9505 * finv(fx), y = finv(fy), z = 1.0890 * finv(fz);
  const double linear[3] = {3.2406 * x - 1.5372 * y - 0.4986 * z,
                            -0.9689 * x + 1.8758 * y + 0.0415 * z,
                            0.0557 * x - 0.2040 * y + 1.0570 * z};
  for (int c = 0; c < 3; ++c) {
    const double v = std::clamp(linear[c], 0.0, 1.0);
    rgb[c] = 255 * (v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055);
  }
}

}  // namespace vistrel::test
