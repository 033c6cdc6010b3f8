#include "input/off_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/colour.h"
#include "input_support.h"

namespace {

struct RecordedFace {
    std::vector<int32_t> indices;
    int32_t n;
    uint32_t colour;
};

struct Recording {
    std::vector<Vector3> vertices;
    std::vector<RecordedFace> faces;
    std::vector<int32_t> object_vertex_counts;
    int objects_ended = 0;
};

SurfaceSink recording_sink(Recording& r)
{
    SurfaceSink sink;
    sink.context = &r;
    sink.begin_object = [](void* c, int32_t vertex_count, int32_t) {
        static_cast<Recording*>(c)->object_vertex_counts.push_back(vertex_count);
        return 0;
    };
    sink.vertex = [](void* c, Vector3 p) {
        static_cast<Recording*>(c)->vertices.push_back(p);
        return 0;
    };
    sink.face = [](void* c, int32_t n, const int32_t* indices, uint32_t colour) {
        RecordedFace f{{}, n, colour};
        if (indices) f.indices.assign(indices, indices + n);
        static_cast<Recording*>(c)->faces.push_back(f);
        return 0;
    };
    sink.end_object = [](void* c) {
        ++static_cast<Recording*>(c)->objects_ended;
        return 0;
    };
    return sink;
}

int read_text(const std::string& text, Recording& r, ReadPass pass = ReadPass::Conversion, bool transform = false)
{
    TempFile f = file_with(text);
    return read_surface(f.get(), pass, transform, recording_sink(r));
}

const std::string TRIANGLE_VERTICES = "0 0 0\n1 0 0\n0 1 0\n";
const uint32_t DEFAULT_FACE = make_colour(22, 44, 22);

class OffReaderTest : public InputTest {};

TEST_F(OffReaderTest, AcceptsTheFourKeywordsAndIgnoresOthers)
{
    Recording r;
    EXPECT_EQ(read_text("OFF\n3 1 3\n" + TRIANGLE_VERTICES + "3 0 1 2\n", r), 0);
    EXPECT_EQ(r.vertices.size(), 3u);
    ASSERT_EQ(r.faces.size(), 1u);
    EXPECT_EQ(r.faces[0].indices, (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(r.objects_ended, 1);

    Recording coloured;
    EXPECT_EQ(read_text("COFF 3 1 3\n0 0 0 1 0 0\n1 0 0 0 1 0\n0 1 0 0 0 1\n3 0 1 2\n", coloured), 0);
    EXPECT_EQ(coloured.faces.size(), 1u);

    Recording normals;
    EXPECT_EQ(read_text("NOFF 3 1 3\n0 0 0 0 0 1\n1 0 0 0 0 1\n0 1 0 0 0 1\n3 0 1 2\n", normals), 0);
    EXPECT_EQ(normals.vertices[1].x, 1.0);

    Recording both;
    EXPECT_EQ(read_text("CNOFF 3 1 3\n0 0 0 0 0 1 1 0 0\n1 0 0 0 0 1 1 0 0\n0 1 0 0 0 1 1 0 0\n3 0 1 2\n", both), 0);
    EXPECT_EQ(both.faces.size(), 1u);
    EXPECT_EQ(both.faces[0].colour, make_colour(31, 0, 0));

    // None of these is a keyword: the file holds no object.
    for (const char* word : {"NCOFF", "STOFF", "4OFF", "nOFF", "off", "OFFx"}) {
        Recording none;
        EXPECT_EQ(read_text(std::string(word) + "\n3 1 3\n" + TRIANGLE_VERTICES + "3 0 1 2\n", none), 0) << word;
        EXPECT_TRUE(none.vertices.empty()) << word;
    }
}

TEST_F(OffReaderTest, StrayLetterTokensSetFlagsForTheNextObject)
{
    // "Cube" starts with C: the following OFF object is read as coloured,
    // so its faces take the first vertex's colour.
    Recording r;
    EXPECT_EQ(read_text("Cube\nOFF\n3 1 3\n0 0 0 0 1 0\n1 0 0 0 1 0\n0 1 0 0 1 0\n3 0 1 2 1 0 0\n", r), 0);
    ASSERT_EQ(r.faces.size(), 1u);
    EXPECT_EQ(r.faces[0].colour, make_colour(0, 63, 0));

    // NCOFF sets the normal flag although it is no keyword.
    Recording n;
    EXPECT_EQ(read_text("NCOFF\nOFF\n3 1 3\n0 0 0 9 9 9\n1 0 0 9 9 9\n0 1 0 9 9 9\n3 0 1 2\n", n), 0);
    ASSERT_EQ(n.vertices.size(), 3u);
    EXPECT_EQ(n.vertices[2].y, 1.0);

    // Flags are cleared after each object.
    Recording twice;
    std::string coloured = "COFF 3 1 3\n0 0 0 1 0 0\n1 0 0 1 0 0\n0 1 0 1 0 0\n3 0 1 2\n";
    EXPECT_EQ(read_text(coloured + "OFF 3 1 3\n" + TRIANGLE_VERTICES + "3 0 1 2\n", twice), 0);
    ASSERT_EQ(twice.faces.size(), 2u);
    EXPECT_EQ(twice.faces[1].colour, DEFAULT_FACE);
}

TEST_F(OffReaderTest, ListsBracesAndComments)
{
    std::string object = "OFF\n3 1 3\n" + TRIANGLE_VERTICES + "3 0 1 2\n";
    Recording r;
    EXPECT_EQ(read_text("# two objects\nLIST\n{\n" + object + "}\n{ " + object + " }\n", r), 0);
    EXPECT_EQ(r.objects_ended, 2);
    EXPECT_EQ(r.vertices.size(), 6u);

    // "{OFF" is a brace: its keyword is lost.
    Recording lost;
    EXPECT_EQ(read_text("LIST {OFF 3 1 3\n" + TRIANGLE_VERTICES + "3 0 1 2\n}\n", lost), 0);
    EXPECT_TRUE(lost.vertices.empty());

    // Comments wherever a token is expected and after values; a # inside a
    // token is not a comment.
    Recording c;
    EXPECT_EQ(read_text("OFF # keyword\n# counts next\n3 1 3\n0 0 0 # first\n# between\n1 0 0\n0 1 0\n"
                        "# a face\n3 0 1 2 # no colour here\n",
                        c),
              0);
    ASSERT_EQ(c.faces.size(), 1u);
    EXPECT_EQ(c.vertices[1].x, 1.0);
    EXPECT_EQ(c.faces[0].colour, DEFAULT_FACE);
    Recording hash;
    EXPECT_EQ(read_text("OF#F OFF 3 1 3\n" + TRIANGLE_VERTICES + "3 0 1 2\n", hash), 0);
    EXPECT_EQ(hash.vertices.size(), 3u);
}

TEST_F(OffReaderTest, VertexLinesTakeAlphaAndBorrowFromTheNextLine)
{
    Recording r;
    EXPECT_EQ(read_text("COFF 3 1 3\n0 0 0 1 0 0 0.5\n1 0 0 0 0 1 1\n0 1 0 0 1 0 0.25\n3 1 0 2\n", r), 0);
    ASSERT_EQ(r.faces.size(), 1u);
    EXPECT_EQ(r.faces[0].colour, make_colour(0, 0, 31));
    EXPECT_EQ(r.vertices[2].y, 1.0);

    // A line of two values takes its third from the next line.
    Recording split;
    EXPECT_EQ(read_text("OFF 3 1 3\n0 0\n0\n1 0 0\n0 1 0\n3 0 1 2\n", split), 0);
    EXPECT_EQ(split.vertices.size(), 3u);
}

TEST_F(OffReaderTest, FaceColours)
{
    auto face_colour = [](const std::string& face_line) {
        Recording r;
        EXPECT_EQ(read_text("OFF 3 1 3\n" + TRIANGLE_VERTICES + face_line, r), 0) << face_line;
        return r.faces.empty() ? 0u : r.faces[0].colour;
    };
    EXPECT_EQ(face_colour("3 0 1 2\n"), DEFAULT_FACE);
    EXPECT_EQ(face_colour("3 0 1 2"), DEFAULT_FACE);  // no newline at the end
    EXPECT_EQ(face_colour("3 0 1 2 1 0 0\n"), make_colour(31, 0, 0));
    EXPECT_EQ(face_colour("3 0 1 2 255 0 0\n"), make_colour(31, 0, 0));
    EXPECT_EQ(face_colour("3 0 1 2 0.5 2 0\n"), make_colour(0, 0, 0));
    EXPECT_EQ(face_colour("3 0 1 2 1 1 1 0.5\n"), make_colour(31, 63, 31));
    EXPECT_EQ(face_colour("3 0 1 2  \t \r\n"), DEFAULT_FACE);
    // Out-of-range components are held to the level range.
    EXPECT_EQ(face_colour("3 0 1 2 1000 -5 nan\n"), make_colour(31, 0, 0));

    // A coloured object's face takes its first vertex's colour, whatever the line says.
    Recording r;
    EXPECT_EQ(read_text("COFF 3 1 3\n0 0 0 0 0 1\n1 0 0 1 0 0\n0 1 0 1 0 0\n3 0 1 2 1 1 1\n", r), 0);
    EXPECT_EQ(r.faces[0].colour, make_colour(0, 0, 31));
}

TEST_F(OffReaderTest, FaceWithoutColourNeverBorrowsTheNextLine)
{
    // With carriage returns or tabs before the newline, the next face's
    // numbers must stay the next face.
    for (const char* end : {"\r\n", "\t\n", " \r\n"}) {
        Recording r;
        std::string e = end;
        EXPECT_EQ(read_text("OFF 4 2 5" + e + "0 0 0" + e + "1 0 0" + e + "0 1 0" + e + "0 0 1" + e + "3 0 1 2" + e +
                                "3 0 2 3" + e,
                            r),
                  0);
        ASSERT_EQ(r.faces.size(), 2u);
        EXPECT_EQ(r.faces[1].indices, (std::vector<int32_t>{0, 2, 3}));
        EXPECT_EQ(r.faces[0].colour, DEFAULT_FACE);
    }
}

TEST_F(OffReaderTest, TransformAppliesWhenAsked)
{
    reset_transform();
    app.transform[12] = 1;
    app.transform[13] = 2;
    app.transform[14] = 3;
    Recording moved, kept;
    std::string text = "OFF 3 1 3\n" + TRIANGLE_VERTICES + "3 0 1 2\n";
    EXPECT_EQ(read_text(text, moved, ReadPass::Sizing, true), 0);
    EXPECT_EQ(read_text(text, kept, ReadPass::Sizing, false), 0);
    EXPECT_EQ(moved.vertices[1].x, 2.0);
    EXPECT_EQ(moved.vertices[1].y, 2.0);
    EXPECT_EQ(moved.vertices[1].z, 3.0);
    EXPECT_EQ(kept.vertices[1].x, 1.0);

    // Column by column: element 4 scales y into x.
    reset_transform();
    app.transform[4] = 2;
    Vector3 p = transform_point(1, 3, 5);
    EXPECT_EQ(p.x, 7.0);
    EXPECT_EQ(p.y, 3.0);
    EXPECT_EQ(p.z, 5.0);
}

TEST_F(OffReaderTest, SizingPassNeedsNineValuesForCnoffAndSkipsFaceLines)
{
    // The sizing pass reads normals too; faces are skipped line by line.
    Recording r;
    std::string cnoff = "CNOFF 3 1 3\n0 0 0 0 0 1 1 0 0\n1 0 0 0 0 1 1 0 0\n0 1 0 0 0 1 1 0 0\n3 0 1 2 x y\n";
    EXPECT_EQ(read_text(cnoff, r, ReadPass::Sizing), 0);
    EXPECT_EQ(r.vertices.size(), 3u);
    EXPECT_TRUE(r.faces.empty());
    // At end of file with only six values the sizing pass is short.
    Recording shorter;
    EXPECT_EQ(read_text("CNOFF 1 1 0\n0 0 0 0 0 1", shorter, ReadPass::Sizing), SURFACE_BAD_CNOFF_VERTEX);
}

TEST_F(OffReaderTest, PrimitivesReadAsDescribed)
{
    TempFile f = file_with("  \tx rest of line\nnext");
    skip_blanks(f.get());
    EXPECT_EQ(std::fgetc(f.get()), '\t');  // only spaces are skipped
    skip_rest_of_line(f.get());
    EXPECT_EQ(std::fgetc(f.get()), 'n');
    skip_rest_of_line(f.get());
    EXPECT_EQ(std::fgetc(f.get()), EOF);
    skip_rest_of_line(f.get());  // at end of file: nothing
    skip_blanks(f.get());
    EXPECT_EQ(std::fgetc(f.get()), EOF);
}

}  // namespace
