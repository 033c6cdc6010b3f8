// What the lattice walk had to do for each frame of a morph: walks beyond
// the first (edges kept apart so the surface stays manifold), points kept
// apart, frames finished with plain tetrahedra, coincident vertices joined,
// and what is left of zero-area triangles. Takes the programs' options:
//
//     frame_report [-f frames] [-p points] [-q] [-a distance] ... source target
#include <cstdio>
#include <ctime>

#include "app/analysis.h"
#include "app/command_line.h"
#include "app/pipeline.h"
#include "app/app_state.h"
#include "surface/frame_generation.h"
#include "surface/frame_values.h"
#include "surface/mesh_checks.h"

using namespace kestrane;

int main(int argc, char** argv)
{
    if (parse_command_line(argc, argv) != 0 || app.source_path.empty() || app.target_path.empty()) {
        std::fprintf(stderr, "usage: %s [options] source target\n", argv[0]);
        return 1;
    }
    if (run_pipeline() != PIPELINE_DONE) return 2;
    if (!app.quick_morph && link_spheres() != 0) return 3;
    const MorphInputs inputs = morph_inputs();
    std::printf("frame triangles extra_walks kept_apart plain joined zero_area closed points exact later cpu_s paged\n");
    long walks = 0, kept = 0, plain = 0, joined = 0, zero = 0, open = 0;
    for (int frame = 0; frame < app.frame_count; ++frame) {
        FrameRequest request = frame_request(inputs, frame);
        WalkReport report;
        FrameValueStats stats;
        request.lattice.report = &report;
        request.stats = &stats;
        SurfaceMesh mesh;
        const std::clock_t start = std::clock();
        if (triangulate_frame(request, &mesh) != 0) return 4;
        const double seconds = double(std::clock() - start) / CLOCKS_PER_SEC;
        const surface_test::MeshReport r = surface_test::check_mesh(mesh);
        std::printf("%5d %9zu %11d %10ld %5d %6ld %9ld %6s %7ld %7ld %6ld %6.2f %5.3f\n", frame + 1, mesh.triangles.size(),
                    report.extra_walks, report.points_kept_apart, report.plain ? 1 : 0, report.vertices_joined,
                    r.zero_area, r.closed() ? "yes" : "NO", stats.points, stats.exact, stats.exact_afterwards,
                    seconds, stats.blocks ? double(stats.value_blocks) / stats.blocks : 0.0);
        walks += report.extra_walks;
        kept += report.points_kept_apart;
        plain += report.plain;
        joined += report.vertices_joined;
        zero += r.zero_area;
        open += !r.closed();
    }
    std::printf("total %9s %11ld %10ld %5ld %6ld %9ld %6ld\n", "", walks, kept, plain, joined, zero, open);
    release_volumes();
    return 0;
}
