#include "shape/distance_sampling.h"

#include "shape/distance_transform.h"

namespace kestrane {
int16_t sample_distance_beyond_box(const FieldView& field, double x, double y, double z)
{
    const BoxPoint p = project_to_inner_box(x, y, z, field.nx, field.ny, field.nz);
    const int inner = field_value(4.0 * sampling::interpolate(field, p.x, p.y, p.z)) / 4;
    return field_value(4.0 * (inner - chamfer_length(x - p.x, y - p.y, z - p.z)));
}

}  // namespace kestrane
