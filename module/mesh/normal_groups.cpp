#include "mesh/normal_groups.h"

#include <cmath>


namespace dorna {

Vector normalizedOrZero(Vector v) {
    const double length = std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
    if (length == 0.0) return Vector{0, 0, 0};
    const double factor = 1.0 / length;
    return Vector{static_cast<float>(v.x * factor), static_cast<float>(v.y * factor),
                  static_cast<float>(v.z * factor)};
}

}  // namespace dorna
