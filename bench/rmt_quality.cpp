// Mesh quality of the regularised marching tetrahedra beside plain marching
// tetrahedra (a vertex for every crossing edge) on the same lattice values.
// Prints a table; run from anywhere.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "app/analysis.h"
#include "app/pipeline.h"
#include "app/app_state.h"
#include "app/status.h"
#include "surface/frame_generation.h"
#include "surface/mesh_checks.h"

using namespace kestrane;

namespace {

struct Quality {
    size_t triangles = 0;
    size_t vertices = 0;
    size_t flat = 0;  // zero area at the mesh's 1/64-voxel precision
    double aspect_median = 0, aspect_p99 = 0, aspect_max = 0;
    double small_angle_share = 0;  // minimum angle under 10 degrees
    double min_angle = 180;
};

double percentile(std::vector<double>& v, double p)
{
    if (v.empty()) return 0;
    size_t i = static_cast<size_t>(std::ceil(p * v.size())) - 1;
    std::nth_element(v.begin(), v.begin() + static_cast<long>(i), v.end());
    return v[i];
}

Quality measure(const SurfaceMesh& mesh)
{
    Quality q;
    q.triangles = mesh.triangles.size();
    q.vertices = mesh.vertices.size();
    std::vector<double> aspects;
    size_t small = 0;
    const double pi = 3.14159265358979323846;
    for (const MeshTriangle& t : mesh.triangles) {
        Vector3 p[3];
        for (int k = 0; k < 3; ++k) p[k] = surface_test::vertex_position(mesh.vertices[t.v[k]]);
        double e[3];
        for (int k = 0; k < 3; ++k) {
            Vector3 d = vec_sub(p[(k + 1) % 3], p[k]);
            e[k] = std::sqrt(vec_dot(d, d));
        }
        Vector3 c = vec_cross(vec_sub(p[1], p[0]), vec_sub(p[2], p[0]));
        double area = 0.5 * std::sqrt(vec_dot(c, c));
        if (area == 0) {
            ++q.flat;
            ++small;
            q.min_angle = 0;
            continue;
        }
        double perimeter = e[0] + e[1] + e[2];
        double inradius = 2 * area / perimeter;
        double longest = std::max({e[0], e[1], e[2]});
        aspects.push_back(longest / (2 * std::sqrt(3.0) * inradius));
        double smallest_angle = 180;
        for (int k = 0; k < 3; ++k) {
            // The angle opposite edge k.
            double a = e[k], b = e[(k + 1) % 3], d = e[(k + 2) % 3];
            double cosine = std::max(-1.0, std::min(1.0, (b * b + d * d - a * a) / (2 * b * d)));
            smallest_angle = std::min(smallest_angle, std::acos(cosine) * 180 / pi);
        }
        q.min_angle = std::min(q.min_angle, smallest_angle);
        if (smallest_angle < 10) ++small;
    }
    q.small_angle_share = q.triangles ? double(small) / q.triangles : 0;
    q.aspect_max = aspects.empty() ? 0 : *std::max_element(aspects.begin(), aspects.end());
    q.aspect_p99 = percentile(aspects, 0.99);
    q.aspect_median = percentile(aspects, 0.5);
    return q;
}

void print_header()
{
    std::printf("| Surface | Method | Triangles | Ratio | Vertices | Aspect median | Aspect 99%% | Aspect max | "
                "Min angle < 10 deg | Smallest angle | Zero area |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|\n");
}

void print_row(const std::string& name, const char* method, const Quality& q, double ratio)
{
    std::printf("| %s | %s | %zu | %.3f | %zu | %.3f | %.2f | %.1f | %.2f%% | %.2f | %zu |\n", name.c_str(), method,
                q.triangles, ratio, q.vertices, q.aspect_median, q.aspect_p99, q.aspect_max,
                100 * q.small_angle_share, q.min_angle, q.flat);
}

struct Totals {
    size_t regular = 0, plain = 0;
};

void compare(const std::string& name, const SurfaceMesh& regular, const SurfaceMesh& plain, Totals& totals)
{
    Quality r = measure(regular), p = measure(plain);
    print_row(name, "regularised", r, p.triangles ? double(r.triangles) / p.triangles : 0.0);
    print_row(name, "plain", p, 1.0);
    totals.regular += r.triangles;
    totals.plain += p.triangles;
}

bool load(const char* source, const char* target, int resolution)
{
    status_reset();
    app_state_init();
    app.source_path = std::string(KESTRANE_SOURCE_DIR) + "/examples/" + source;
    app.target_path = std::string(KESTRANE_SOURCE_DIR) + "/examples/" + target;
    app.resolution = static_cast<uint16_t>(resolution);
    app.frame_count = 21;
    return run_pipeline() == PIPELINE_DONE && link_spheres() == 0;
}

}  // namespace

int main()
{
    Totals totals;
    print_header();
    const char* const pairs[][2] = {{"icosphere.off", "torus.off"}, {"box.off", "blob_normals.off"}};
    for (const auto& pair : pairs) {
        for (int resolution = 1; resolution <= 2; ++resolution) {
            if (!load(pair[0], pair[1], resolution)) {
                std::fprintf(stderr, "could not load %s and %s\n", pair[0], pair[1]);
                return 1;
            }
            const int frames[] = {0, 10, 20};
            const char* names[] = {pair[0], "middle frame", pair[1]};
            for (int i = 0; i < 3; ++i) {
                SurfaceMesh regular, plain;
                triangulate_current_frame(&regular, frames[i], true);
                triangulate_current_frame(&plain, frames[i], false);
                compare(std::string(names[i]) + (i == 1 ? std::string(" (") + pair[0] + ")" : "") + ", R " +
                            std::to_string(resolution),
                        regular, plain, totals);
            }
        }
    }
    // Smooth ball unions at a finer lattice (about 60 voxels a side).
    surface_test::BallField field;
    field.balls = {{{25, 30, 30}, 16}, {{40, 32, 28}, 11}, {{30, 44, 34}, 7}};
    for (int resolution = 1; resolution <= 2; ++resolution) {
        LatticeField f = surface_test::ball_lattice(field, 60, resolution);
        SurfaceMesh regular, plain;
        triangulate_lattice(f, &regular);
        f.regularise = false;
        triangulate_lattice(f, &plain);
        compare("three balls, 60 voxels, R " + std::to_string(resolution), regular, plain, totals);
    }
    std::printf("\nAll surfaces: %zu regularised triangles against %zu plain: %.1f%% fewer (ratio %.3f).\n",
                totals.regular, totals.plain, 100.0 * (1.0 - double(totals.regular) / totals.plain),
                double(totals.regular) / totals.plain);
    return 0;
}
