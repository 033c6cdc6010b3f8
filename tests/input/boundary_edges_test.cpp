// Boundary edges: the edges only one face uses, counted per object with
// corners at one position taken as one vertex, as the sizing pass counts them.
#include "input/boundary_edges.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/polygon_mesh.h"
#include "input_support.h"

using namespace kestrane;

namespace {

using Faces = std::vector<std::vector<int32_t>>;

const std::vector<Vector3> TETRAHEDRON = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
const Faces TETRAHEDRON_FACES = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};

void add_object(BoundaryEdges& edges, const std::vector<Vector3>& positions, const Faces& faces)
{
    edges.begin_object();
    for (const Vector3& p : positions) edges.vertex(p);
    for (const auto& f : faces) edges.face(static_cast<int32_t>(f.size()), f.data());
    edges.end_object();
}

long count_of(const std::vector<Vector3>& positions, const Faces& faces)
{
    BoundaryEdges edges;
    add_object(edges, positions, faces);
    return edges.count();
}

// Every face with corners of its own, as STL and many importers give them.
void as_soup(const std::vector<Vector3>& positions, const Faces& faces, std::vector<Vector3>* soup, Faces* soup_faces)
{
    for (const auto& f : faces) {
        std::vector<int32_t> corners;
        for (int32_t index : f) {
            corners.push_back(static_cast<int32_t>(soup->size()));
            soup->push_back(positions[index]);
        }
        soup_faces->push_back(corners);
    }
}

TEST(BoundaryEdges, ClosedSurfacesHaveNoneAndEachMissingFaceLeavesItsRim)
{
    EXPECT_EQ(count_of(TETRAHEDRON, TETRAHEDRON_FACES), 0);
    EXPECT_EQ(count_of(TETRAHEDRON, {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}}), 3);
    EXPECT_EQ(count_of(TETRAHEDRON, {{0, 2, 1}}), 3);
    EXPECT_EQ(count_of(TETRAHEDRON, {{0, 2, 1}, {1, 2, 3}}), 4);  // two faces share one edge
    // Quadrilaterals: an open box has the four edges of its missing face.
    const std::vector<Vector3> corners = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0},
                                          {0, 0, 1}, {1, 0, 1}, {0, 1, 1}, {1, 1, 1}};
    Faces box = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    EXPECT_EQ(count_of(corners, box), 0);
    box.pop_back();
    EXPECT_EQ(count_of(corners, box), 4);
}

TEST(BoundaryEdges, CornersAtOnePositionAreOneVertex)
{
    std::vector<Vector3> soup;
    Faces faces;
    as_soup(TETRAHEDRON, TETRAHEDRON_FACES, &soup, &faces);
    ASSERT_EQ(soup.size(), 12u);
    EXPECT_EQ(count_of(soup, faces), 0);
    faces.pop_back();
    EXPECT_EQ(count_of(soup, faces), 3);
    // -0 and 0 are one position.
    EXPECT_EQ(count_of({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {-0.0, 0, 0}, {0, 1, 0}, {1, 0, 0}}, {{0, 1, 2}, {3, 4, 5}}),
              0);
    // Near is not the same: a crack of 1e-9 stays open.
    EXPECT_EQ(count_of({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1e-9, 0, 0}, {0, 1, 0}, {1, 0, 0}}, {{0, 1, 2}, {3, 4, 5}}),
              4);
}

TEST(BoundaryEdges, EdgesOfThreeFacesAndDegenerateFacesAreNotBoundary)
{
    // Three fins on one edge: it is used three times, the six outer edges once.
    const std::vector<Vector3> fins = {{0, 0, 0}, {0, 0, 1}, {1, 0, 0}, {0, 1, 0}, {-1, -1, 0}};
    EXPECT_EQ(count_of(fins, {{0, 1, 2}, {1, 0, 3}, {0, 1, 4}}), 6);
    // Points, lines and faces too large to keep add nothing; an edge of
    // length 0 bounds nothing.
    BoundaryEdges edges;
    edges.begin_object();
    for (const Vector3& p : TETRAHEDRON) edges.vertex(p);
    const int32_t line[] = {0, 1};
    edges.face(2, line);
    edges.face(1, line);
    edges.face(5000, nullptr);
    const int32_t pinched[] = {0, 1, 1, 2};  // a triangle with a corner twice
    edges.face(4, pinched);
    EXPECT_EQ(edges.count(), 3);
}

TEST(BoundaryEdges, ObjectsAreCountedApartAndAdded)
{
    BoundaryEdges edges;
    add_object(edges, TETRAHEDRON, TETRAHEDRON_FACES);
    // Indices restart: the second object's face 0 names its own vertex 0.
    add_object(edges, {{5, 5, 5}, {6, 5, 5}, {5, 6, 5}}, {{0, 1, 2}});
    // The same triangle again in an object of its own does not close the first.
    add_object(edges, {{5, 5, 5}, {6, 5, 5}, {5, 6, 5}}, {{0, 2, 1}});
    EXPECT_EQ(edges.count(), 6);
    // An object without faces, and one never ended, are counted too.
    edges.begin_object();
    edges.vertex({9, 9, 9});
    edges.begin_object();
    for (const Vector3& p : TETRAHEDRON) edges.vertex(p);
    edges.face(3, TETRAHEDRON_FACES[0].data());
    EXPECT_EQ(edges.count(), 9);
}

// The sizing pass hands each side's count back.
class BoundaryEdgesSizingTest : public InputTest {
protected:
    static VolumeSizing measured(const SurfaceInput& source, const SurfaceInput& target)
    {
        SizingParameters p;
        p.source_transform = app.transform;
        VolumeSizing out{};
        out.boundary_edges[0] = out.boundary_edges[1] = -1;
        EXPECT_EQ(measure_surfaces(source, target, p, &out), SURFACE_OK);
        return out;
    }
};

std::string without_last_face(std::string off)
{
    off.erase(off.rfind('\n', off.size() - 2) + 1);
    off.replace(off.find("8 6 12"), 6, "8 5 12");
    return off;
}

TEST_F(BoundaryEdgesSizingTest, OffFilesPerSideAndPerObject)
{
    const std::string closed = box_object({0, 0, 0}, {1, 1, 1});
    const std::string open = without_last_face(closed);
    {
        TempFile s = file_with(open), t = file_with(closed);
        const VolumeSizing out = measured(s.get(), t.get());
        EXPECT_EQ(out.boundary_edges[0], 4);
        EXPECT_EQ(out.boundary_edges[1], 0);
    }
    {
        // Turned and moved by -t: the same corners still meet.
        app.transform[0] = 0;
        app.transform[1] = 1;
        app.transform[4] = -1;
        app.transform[5] = 0;
        app.transform[12] = 3;
        TempFile s = file_with(closed), t = file_with("LIST\n{\n" + closed + "}\n{\n" + open + "}\n");
        const VolumeSizing out = measured(s.get(), t.get());
        EXPECT_EQ(out.boundary_edges[0], 0);
        EXPECT_EQ(out.boundary_edges[1], 4);
    }
}

TEST_F(BoundaryEdgesSizingTest, MeshesFromMemoryAsTheirCornersMeet)
{
    PolygonMesh soup, open;
    PolygonObject object;
    std::vector<Vector3> positions;
    Faces faces;
    as_soup(TETRAHEDRON, TETRAHEDRON_FACES, &positions, &faces);
    object.positions = positions;
    for (const auto& f : faces) {
        object.face_sizes.push_back(3);
        object.corners.insert(object.corners.end(), f.begin(), f.end());
    }
    soup.objects.push_back(object);
    object.face_sizes.pop_back();
    object.corners.resize(object.corners.size() - 3);
    open.objects.push_back(object);
    const VolumeSizing out = measured(SurfaceInput(&soup), SurfaceInput(&open));
    EXPECT_EQ(out.boundary_edges[0], 0);
    EXPECT_EQ(out.boundary_edges[1], 3);
}

}  // namespace
