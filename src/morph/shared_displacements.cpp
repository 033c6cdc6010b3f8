#include "morph/shared_displacements.h"

#include "base/fnv_hash.h"
#include "morph/load_memory.h"
#include "shape/morph_batch.h"

namespace kestrane {
namespace {

// Field by field: the records have padding.
uint64_t inputs_key(const MorphState& morph, const MorphInputs& inputs, const LatticeField& lattice)
{
    Fnv f;
    f.add(morph.voxel_generation);
    for (int side = 0; side < 2; ++side) {
        const FieldView& field = inputs.fields[side];
        f.add(field.distances), f.add(field.stride), f.add(field.nx), f.add(field.ny), f.add(field.nz);
        const SphereSet& set = inputs.spheres[side];
        f.add(set.count);
        for (size_t i = 0; i < set.count; ++i) {
            const Sphere& s = set.spheres[i];
            f.add(s.x), f.add(s.y), f.add(s.z), f.add(s.radius), f.add(s.linked);
            const Vector3& d = set.shifts[i];
            f.add(d.x), f.add(d.y), f.add(d.z);
        }
    }
    f.add(lattice.lx), f.add(lattice.ly), f.add(lattice.lz), f.add(lattice.resolution);
    return f.h;
}

}  // namespace

std::shared_ptr<DisplacementCache> frame_displacements(MorphState& morph, const MorphInputs& inputs,
                                                       const LatticeField& lattice)
{
    if (!displacements_shared(inputs)) return nullptr;
    const uint64_t key = inputs_key(morph, inputs, lattice);
    std::lock_guard<std::mutex> hold(morph.displacements_lock);
    if (!morph.displacements || morph.displacements_key != key || !cache_serves(*morph.displacements, lattice)) {
        morph.displacements.reset();  // before the new one is made: never both
        morph.displacements = make_displacement_cache(lattice, displacement_cache_budget());
        morph.displacements_key = key;
    }
    return morph.displacements;
}

void drop_displacements(MorphState& morph)
{
    std::lock_guard<std::mutex> hold(morph.displacements_lock);
    morph.displacements.reset();
}

}  // namespace kestrane
