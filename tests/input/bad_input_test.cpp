// Broken surface files: each gives a clear failure code in both passes,
// never a crash (the sanitizer build checks the "never").

#include <gtest/gtest.h>

#include <string>

#include "input/off_reader.h"
#include "input/scan_convert.h"
#include "input_support.h"

using namespace kestrane;

namespace {

const std::string VERTICES = "0 0 0\n1 0 0\n0 1 0\n";
const std::string TRIANGLE = "OFF 3 1 3\n" + VERTICES + "3 0 1 2\n";

struct BadInput {
    const char* what;
    std::string text;
    int sizing;      // code of the sizing pass
    int conversion;  // code of the conversion pass
};

class BadInputTest : public InputTest {
protected:
    static int size_pass(const std::string& text)
    {
        TempFile f = file_with(text);
        return read_surface(f.get(), ReadPass::Sizing, app.transform, SurfaceSink{});
    }
    static int convert_pass(const std::string& text)
    {
        prepare_grid(1, 8);
        TempFile f = file_with(text);
        return convert_surface(f.get(), 1);
    }
};

TEST_F(BadInputTest, EachGivesItsCodeInBothPasses)
{
    const std::string long_word(3000, 'x');
    const std::string long_number = "0." + std::string(3000, '1');
    const BadInput cases[] = {
        {"long word between objects is ignored", long_word + "\n" + TRIANGLE, 0, 0},
        {"long comment", "#" + long_word + "\n" + TRIANGLE, 0, 0},
        {"long token as a count", "OFF " + std::string(3000, '1') + " 1 3\n" + VERTICES + "3 0 1 2\n", 2, 2},
        {"long token as a coordinate", "OFF 3 1 3\n" + long_number + " 0 0\n1 0 0\n0 1 0\n3 0 1 2\n", 6, 6},
        {"long token as a face", "OFF 3 1 3\n" + VERTICES + std::string(3000, '3') + " 0 1 2\n", 7, 7},
        {"no vertices", "OFF 0 1 0\n3 0 1 2\n", 2, 2},
        {"negative vertex count", "OFF -3 1 3\n" + VERTICES + "3 0 1 2\n", 2, 2},
        {"no faces", "OFF 3 0 0\n" + VERTICES, 2, 2},
        {"negative face count", "OFF 3 -1 0\n" + VERTICES, 2, 2},
        {"count beyond 32 bits", "OFF 4294967299 1 3\n" + VERTICES + "3 0 1 2\n", 2, 2},
        {"count not a number", "OFF three 1 3\n" + VERTICES + "3 0 1 2\n", 2, 2},
        {"counts line short", "OFF 3\n", 2, 2},
        {"negative face size", "OFF 3 1 3\n" + VERTICES + "-3 0 1 2\n", 7, 7},
        {"face size not a number", "OFF 3 1 3\n" + VERTICES + "tri 0 1 2\n", 7, 7},
        {"index beyond the vertices", "OFF 3 1 3\n" + VERTICES + "3 0 1 3\n", 7, 7},
        {"negative index", "OFF 3 1 3\n" + VERTICES + "3 0 -1 2\n", 7, 7},
        {"index not a number", "OFF 3 1 3\n" + VERTICES + "3 0 one 2\n", 7, 7},
        {"index missing at the end", "OFF 3 1 3\n" + VERTICES + "3 0 1", 7, 7},
        {"huge face with an index missing", "OFF 3 1 3\n" + VERTICES + "3000 0 1 2\n", 7, 7},
        {"face size beyond 32 bits", "OFF 3 1 3\n" + VERTICES + "4294967299 0 1 2\n", 7, 7},
        {"nan coordinate", "OFF 3 1 3\nnan 0 0\n1 0 0\n0 1 0\n3 0 1 2\n", 6, 6},
        {"infinite coordinate", "OFF 3 1 3\n0 -inf 0\n1 0 0\n0 1 0\n3 0 1 2\n", 6, 6},
        {"coordinate beyond float", "OFF 3 1 3\n0 0 1e39\n1 0 0\n0 1 0\n3 0 1 2\n", 6, 6},
        {"nan in a coloured object", "COFF 3 1 3\nnan 0 0 1 1 1\n1 0 0 1 1 1\n0 1 0 1 1 1\n3 0 1 2\n", 4, 4},
        {"inf in an object with normals", "NOFF 3 1 3\n0 0 inf 0 0 1\n1 0 0 0 0 1\n0 1 0 0 0 1\n3 0 1 2\n", 5, 5},
        {"nan in CNOFF", "CNOFF 3 1 3\n0 nan 0 0 0 1 1 1 1\n1 0 0 0 0 1 1 1 1\n0 1 0 0 0 1 1 1 1\n3 0 1 2\n", 3, 3},
        {"short vertex line at the end", "OFF 3 1 3\n0 0 0\n1 0 0\n0 1", 6, 6},
        {"vertex not a number", "OFF 3 1 3\nzero 0 0\n1 0 0\n0 1 0\n3 0 1 2\n", 6, 6},
        {"cut off after the keyword", "OFF\n", 9, 9},
        {"cut off in the vertices", "OFF 3 1 3\n0 0 0\n1 0 0\n", 9, 9},
        {"cut off in the faces", "OFF 3 2 3\n" + VERTICES + "3 0 1 2\n", 9, 9},
        {"cut off by a brace", "LIST { OFF 3 1 3\n0 0 0\n} { " + TRIANGLE + " }\n", 9, 9},
        {"complete list", "LIST { " + TRIANGLE + " } { " + TRIANGLE + " }", 0, 0},
        {"no keyword at all", "appearance { shading smooth }\n", 0, 0},
        {"empty file", "", 0, 0},
    };
    for (const BadInput& c : cases) {
        EXPECT_EQ(size_pass(c.text), c.sizing) << c.what;
        EXPECT_EQ(convert_pass(c.text), c.conversion) << c.what;
        app.antialias = false;
        // The plain mode reads the same way (a triangle alone is not closed).
        int plain = convert_pass(c.text);
        EXPECT_EQ(plain == SURFACE_NOT_CLOSED ? 0 : plain, c.conversion) << c.what;
        app.antialias = true;
    }
}

TEST_F(BadInputTest, TransformOverflowingAFloatIsRefused)
{
    app.transform[0] = 1e30;
    EXPECT_EQ(size_pass("OFF 3 1 3\n1e10 0 0\n1 0 0\n0 1 0\n3 0 1 2\n"), SURFACE_BAD_OFF_VERTEX);
}

TEST_F(BadInputTest, CarriageReturnsReadLikeNewlines)
{
    std::string unix_text = "# a box\n" + box_object({-2, -2, -2}, {2, 2, 2});
    std::string dos_text;
    for (char c : unix_text) {
        if (c == '\n') dos_text += '\r';
        dos_text += c;
    }
    for (bool antialias : {false, true}) {
        app.antialias = antialias;
        ASSERT_EQ(convert_pass(unix_text), 0);
        std::vector<int16_t> expected = distances(1);
        ASSERT_EQ(convert_pass(dos_text), 0);
        EXPECT_EQ(distances(1), expected) << antialias;
    }
}

TEST_F(BadInputTest, ConversionNeedsAGrid)
{
    TempFile f = file_with(TRIANGLE);
    app.volume_dims[0] = app.volume_dims[1] = app.volume_dims[2] = 8;
    EXPECT_EQ(convert_surface(f.get(), 1), SURFACE_BAD_COUNTS);  // voxels not allocated
    prepare_grid(1, 8);
    EXPECT_EQ(convert_surface(nullptr, 1), SURFACE_BAD_COUNTS);
    EXPECT_EQ(convert_surface(f.get(), 1), 0);
}

}  // namespace
