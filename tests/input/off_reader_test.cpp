#include "input/off_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/colour.h"
#include "input_support.h"

using namespace kestrane;

namespace {

struct Recording {
    int status = -1;
    std::vector<Vector3> vertices;
    std::vector<std::vector<int32_t>> faces;
    std::vector<uint32_t> colours;  // one per face
    int objects_ended = 0;
};

// What the reader hands to its sink for a text.
Recording read_text(const std::string& text, ReadPass pass = ReadPass::Conversion, bool transform = false)
{
    Recording r;
    SurfaceSink sink;
    sink.context = &r;
    sink.begin_object = [](void*, int32_t, int32_t) { return 0; };
    sink.vertex = [](void* c, Vector3 p) {
        static_cast<Recording*>(c)->vertices.push_back(p);
        return 0;
    };
    sink.face = [](void* c, int32_t n, const int32_t* indices, uint32_t colour) {
        Recording& rec = *static_cast<Recording*>(c);
        rec.faces.push_back(indices ? std::vector<int32_t>(indices, indices + n) : std::vector<int32_t>{});
        rec.colours.push_back(colour);
        return 0;
    };
    sink.end_object = [](void* c) {
        ++static_cast<Recording*>(c)->objects_ended;
        return 0;
    };
    TempFile f = file_with(text);
    r.status = read_surface(f.get(), pass, transform ? app.transform : nullptr, sink);
    return r;
}

const std::string TRIANGLE_VERTICES = "0 0 0\n1 0 0\n0 1 0\n";
const std::string TRIANGLE = "OFF\n3 1 3\n" + TRIANGLE_VERTICES + "3 0 1 2\n";
const uint32_t DEFAULT_FACE = make_colour(22, 44, 22);

class OffReaderTest : public InputTest {};

TEST_F(OffReaderTest, AcceptsTheFourKeywordsAndIgnoresOthers)
{
    Recording r = read_text(TRIANGLE);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.vertices.size(), 3u);
    ASSERT_EQ(r.faces.size(), 1u);
    EXPECT_EQ(r.faces[0], (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(r.objects_ended, 1);
    // Colours after the position, normals before any colour.
    struct Case {
        std::string text;
        uint32_t colour;
    } cases[] = {
        {"COFF 3 1 3\n0 0 0 1 0 0\n1 0 0 0 1 0\n0 1 0 0 0 1\n3 0 1 2\n", make_colour(31, 0, 0)},
        {"NOFF 3 1 3\n0 0 0 0 0 1\n1 0 0 0 0 1\n0 1 0 0 0 1\n3 0 1 2\n", DEFAULT_FACE},
        {"CNOFF 3 1 3\n0 0 0 0 0 1 1 0 0\n1 0 0 0 0 1 1 0 0\n0 1 0 0 0 1 1 0 0\n3 0 1 2\n", make_colour(31, 0, 0)},
    };
    for (const Case& c : cases) {
        r = read_text(c.text);
        EXPECT_EQ(r.status, 0) << c.text;
        ASSERT_EQ(r.colours.size(), 1u) << c.text;
        EXPECT_EQ(r.colours[0], c.colour) << c.text;
        EXPECT_EQ(r.vertices[1].x, 1.0) << c.text;
        EXPECT_EQ(r.vertices[2].y, 1.0) << c.text;
    }
    // None of these is a keyword: the file holds no object.
    for (const char* word : {"NCOFF", "STOFF", "4OFF", "nOFF", "off", "OFFx"}) {
        r = read_text(std::string(word) + TRIANGLE.substr(3));
        EXPECT_EQ(r.status, 0) << word;
        EXPECT_TRUE(r.vertices.empty()) << word;
    }
}

TEST_F(OffReaderTest, StrayLetterTokensSetFlagsForTheNextObject)
{
    // "Cube" starts with C: the following OFF object is read as coloured,
    // so its faces take the first vertex's colour.
    Recording r = read_text("Cube\nOFF\n3 1 3\n0 0 0 0 1 0\n1 0 0 0 1 0\n0 1 0 0 1 0\n3 0 1 2 1 0 0\n");
    ASSERT_EQ(r.colours.size(), 1u);
    EXPECT_EQ(r.colours[0], make_colour(0, 63, 0));
    // NCOFF sets the normal flag although it is no keyword.
    r = read_text("NCOFF\nOFF\n3 1 3\n0 0 0 9 9 9\n1 0 0 9 9 9\n0 1 0 9 9 9\n3 0 1 2\n");
    ASSERT_EQ(r.vertices.size(), 3u);
    EXPECT_EQ(r.vertices[2].y, 1.0);
    // Flags are cleared after each object.
    r = read_text("COFF 3 1 3\n0 0 0 1 0 0\n1 0 0 1 0 0\n0 1 0 1 0 0\n3 0 1 2\n" + TRIANGLE);
    ASSERT_EQ(r.colours.size(), 2u);
    EXPECT_EQ(r.colours[1], DEFAULT_FACE);
}

TEST_F(OffReaderTest, ListsBracesAndComments)
{
    Recording r = read_text("# two objects\nLIST\n{\n" + TRIANGLE + "}\n{ " + TRIANGLE + " }\n");
    EXPECT_EQ(r.objects_ended, 2);
    EXPECT_EQ(r.vertices.size(), 6u);
    // "{OFF" is a brace: its keyword is lost.
    EXPECT_TRUE(read_text("LIST {OFF 3 1 3\n" + TRIANGLE_VERTICES + "3 0 1 2\n}\n").vertices.empty());
    // Comments wherever a token is expected and after values; a # inside a
    // token is not a comment.
    r = read_text("OFF # keyword\n# counts next\n3 1 3\n0 0 0 # first\n# between\n1 0 0\n0 1 0\n"
                  "# a face\n3 0 1 2 # no colour here\n");
    EXPECT_EQ(r.status, 0);
    ASSERT_EQ(r.faces.size(), 1u);
    EXPECT_EQ(r.vertices[1].x, 1.0);
    EXPECT_EQ(r.colours[0], DEFAULT_FACE);
    EXPECT_EQ(read_text("OF#F " + TRIANGLE).vertices.size(), 3u);
}

TEST_F(OffReaderTest, VertexLinesTakeAlphaAndBorrowFromTheNextLine)
{
    Recording r = read_text("COFF 3 1 3\n0 0 0 1 0 0 0.5\n1 0 0 0 0 1 1\n0 1 0 0 1 0 0.25\n3 1 0 2\n");
    ASSERT_EQ(r.colours.size(), 1u);
    EXPECT_EQ(r.colours[0], make_colour(0, 0, 31));
    EXPECT_EQ(r.vertices[2].y, 1.0);
    // A line of two values takes its third from the next line.
    EXPECT_EQ(read_text("OFF 3 1 3\n0 0\n0\n1 0 0\n0 1 0\n3 0 1 2\n").vertices.size(), 3u);
}

TEST_F(OffReaderTest, FaceColours)
{
    auto face_colour = [](const std::string& face_line) {
        Recording r = read_text("OFF 3 1 3\n" + TRIANGLE_VERTICES + face_line);
        EXPECT_EQ(r.status, 0) << face_line;
        return r.colours.empty() ? 0u : r.colours[0];
    };
    EXPECT_EQ(face_colour("3 0 1 2\n"), DEFAULT_FACE);
    EXPECT_EQ(face_colour("3 0 1 2"), DEFAULT_FACE);  // no newline at the end
    EXPECT_EQ(face_colour("3 0 1 2  \t \r\n"), DEFAULT_FACE);
    EXPECT_EQ(face_colour("3 0 1 2 1 0 0\n"), make_colour(31, 0, 0));
    EXPECT_EQ(face_colour("3 0 1 2 255 0 0\n"), make_colour(31, 0, 0));
    EXPECT_EQ(face_colour("3 0 1 2 0.5 2 0\n"), make_colour(0, 0, 0));
    EXPECT_EQ(face_colour("3 0 1 2 1 1 1 0.5\n"), make_colour(31, 63, 31));
    // Out-of-range components are held to the level range.
    EXPECT_EQ(face_colour("3 0 1 2 1000 -5 nan\n"), make_colour(31, 0, 0));

    // A coloured object's face takes its first vertex's colour, whatever the line says.
    Recording r = read_text("COFF 3 1 3\n0 0 0 0 0 1\n1 0 0 1 0 0\n0 1 0 1 0 0\n3 0 1 2 1 1 1\n");
    EXPECT_EQ(r.colours[0], make_colour(0, 0, 31));

    // A face without colour never borrows the next line, whatever blanks
    // come before the newline.
    for (std::string e : {"\r\n", "\t\n", " \r\n"}) {
        r = read_text("OFF 4 2 5" + e + "0 0 0" + e + "1 0 0" + e + "0 1 0" + e + "0 0 1" + e + "3 0 1 2" + e +
                      "3 0 2 3" + e);
        ASSERT_EQ(r.faces.size(), 2u);
        EXPECT_EQ(r.faces[1], (std::vector<int32_t>{0, 2, 3}));
        EXPECT_EQ(r.colours[0], DEFAULT_FACE);
    }
}

TEST_F(OffReaderTest, TransformAppliesWhenAskedColumnByColumn)
{
    reset_transform();
    app.transform[4] = 2;  // element 4 scales y into x
    app.transform[12] = 1;
    app.transform[13] = 2;
    app.transform[14] = 3;
    Vector3 moved = read_text(TRIANGLE, ReadPass::Sizing, true).vertices[2];
    EXPECT_EQ(moved.x, 3.0);
    EXPECT_EQ(moved.y, 3.0);
    EXPECT_EQ(moved.z, 3.0);
    EXPECT_EQ(read_text(TRIANGLE, ReadPass::Sizing, false).vertices[2].x, 0.0);
}

TEST_F(OffReaderTest, SizingPassNeedsNineValuesForCnoffAndReadsFacesLikeConversion)
{
    Recording r = read_text("CNOFF 3 1 3\n0 0 0 0 0 1 1 0 0\n1 0 0 0 0 1 1 0 0\n0 1 0 0 0 1 1 0 0\n3 0 1 2 x y\n",
                            ReadPass::Sizing);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.vertices.size(), 3u);
    EXPECT_EQ(r.faces.size(), 1u);
    // A face cut by a line end, then a second object far away: both passes
    // read the cut face's indices across the line end and so meet the
    // second object at the same token.
    const std::string tetrahedron = "OFF 4 4 6\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n3 0 2\n1\n3 0 1 3\n3 0 3 2\n3 1 2 3\n";
    const std::string far_tetrahedron = "OFF 4 4 6\n9 9 9\n8 9 9\n9 8 9\n9 9 8\n3 0 2 1\n3 0 1 3\n3 0 3 2\n3 1 2 3\n";
    Recording sizing = read_text("LIST\n" + tetrahedron + far_tetrahedron, ReadPass::Sizing);
    Recording conversion = read_text("LIST\n" + tetrahedron + far_tetrahedron, ReadPass::Conversion);
    EXPECT_EQ(sizing.status, 0);
    EXPECT_EQ(conversion.status, 0);
    EXPECT_EQ(sizing.objects_ended, 2);
    EXPECT_EQ(conversion.objects_ended, 2);
    EXPECT_EQ(sizing.faces, conversion.faces);
    ASSERT_EQ(sizing.vertices.size(), 8u);
    EXPECT_EQ(sizing.vertices[7].z, 8.0);
    // At end of file with only six values the sizing pass is short.
    EXPECT_EQ(read_text("CNOFF 1 1 0\n0 0 0 0 0 1", ReadPass::Sizing).status, SURFACE_BAD_CNOFF_VERTEX);
}

}  // namespace
