#include "app/transform_check.h"

#include <cmath>

bool transform_usable(const double* m)
{
    for (int i = 0; i < 16; ++i)
        if (!std::isfinite(m[i])) return false;
    // Columns 0, 1 and 2 hold the linear part.
    const double det = m[0] * (m[5] * m[10] - m[9] * m[6]) - m[4] * (m[1] * m[10] - m[9] * m[2]) +
                       m[8] * (m[1] * m[6] - m[5] * m[2]);
    return std::isfinite(det) && det != 0.0;
}
