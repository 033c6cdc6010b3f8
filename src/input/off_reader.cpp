#include "input/off_reader.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "base/colour.h"

namespace kestrane {
void skip_rest_of_line(std::FILE* stream)
{
    int c;
    do {
        c = std::getc(stream);
    } while (c != EOF && c != '\n');
}

Vector3 transform_point(const double* m, double x, double y, double z)
{
    return {m[0] * x + m[4] * y + m[8] * z + m[12], m[1] * x + m[5] * y + m[9] * z + m[13],
            m[2] * x + m[6] * y + m[10] * z + m[14]};
}

namespace {

// One level from a component; out-of-range and NaN components are held to
// the level range so that a colour byte always means what it says.
uint8_t colour_level(float component, int levels, bool bytes)
{
    double level = bytes ? std::trunc(component * levels / 255.0) : std::trunc(component * levels);
    if (!(level > 0.0)) return 0;
    if (level > levels) return static_cast<uint8_t>(levels);
    return static_cast<uint8_t>(level);
}

}  // namespace

uint32_t colour_from_components(float red, float green, float blue)
{
    bool bytes = red > 1.0f || green > 1.0f || blue > 1.0f;
    return make_colour(colour_level(red, 31, bytes), colour_level(green, 63, bytes),
                       colour_level(blue, 31, bytes));
}

namespace {

enum class ReaderState { Header, Counts, Vertices, Faces };

// Reads one whitespace-delimited token as "%s" would. Characters past the
// buffer's 2047 are consumed and dropped; too_long tells.
bool read_token(std::FILE* stream, char* token, bool& too_long)
{
    int c;
    do {
        c = std::getc(stream);
    } while (c != EOF && std::isspace(c));
    if (c == EOF) return false;
    int length = 0;
    too_long = false;
    while (c != EOF && !std::isspace(c)) {
        if (length < TOKEN_CAPACITY - 1)
            token[length++] = static_cast<char>(c);
        else
            too_long = true;
        c = std::getc(stream);
    }
    if (c != EOF) std::ungetc(c, stream);
    token[length] = '\0';
    return true;
}

// A decimal integer at the start of the token, as "%ld" reads it.
bool parse_long(const char* token, long& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtol(token, &end, 10);
    return end != token && errno != ERANGE;
}

bool read_long(std::FILE* stream, long& value)
{
    return std::fscanf(stream, "%ld", &value) == 1;
}

bool fits_count(long value) { return value >= 1 && value <= INT32_MAX; }

// The rest of the current line, newline dropped.
std::string read_rest_of_line(std::FILE* stream)
{
    std::string line;
    int c;
    while ((c = std::getc(stream)) != EOF && c != '\n') line.push_back(static_cast<char>(c));
    return line;
}

int vertex_failure(bool has_colour, bool has_normal)
{
    if (has_colour) return has_normal ? SURFACE_BAD_CNOFF_VERTEX : SURFACE_BAD_COFF_VERTEX;
    return has_normal ? SURFACE_BAD_NOFF_VERTEX : SURFACE_BAD_OFF_VERTEX;
}

struct Reader {
    Reader(std::FILE* s, ReadPass p, const double* t, const SurfaceSink& k) : stream(s), pass(p), transform(t), sink(k) {}

    std::FILE* stream;
    ReadPass pass;
    const double* transform;  // null: vertices as read
    const SurfaceSink& sink;

    ReaderState state = ReaderState::Header;
    bool has_colour = false;
    bool has_normal = false;
    long vertex_count = 0;
    long face_count = 0;
    long vertices_read = 0;
    long faces_read = 0;
    std::vector<uint32_t> vertex_colours;  // of coloured objects
    std::vector<int32_t> indices;

    void end_object()
    {
        has_colour = has_normal = false;
        state = ReaderState::Header;
        vertex_colours.clear();
        vertex_colours.shrink_to_fit();
    }

    void read_header(const char* token)
    {
        if (token[0] == 'C') {
            has_colour = true;
            ++token;
        }
        if (token[0] == 'N') {
            has_normal = true;
            ++token;
        }
        if (std::strcmp(token, "OFF") == 0) state = ReaderState::Counts;
    }

    int read_counts(const char* token, bool too_long)
    {
        long edge_count = 0;
        if (too_long || !parse_long(token, vertex_count)) return SURFACE_BAD_COUNTS;
        if (std::fscanf(stream, "%ld%ld", &face_count, &edge_count) != 2) return SURFACE_BAD_COUNTS;
        if (!fits_count(vertex_count) || !fits_count(face_count)) return SURFACE_BAD_COUNTS;
        vertices_read = faces_read = 0;
        if (has_colour) {
            // Grown as vertices arrive, so a wild count costs nothing up front.
            vertex_colours.reserve(static_cast<size_t>(std::min(vertex_count, 1L << 16)));
        }
        if (sink.begin_object) {
            int status = sink.begin_object(sink.context, static_cast<int32_t>(vertex_count),
                                           static_cast<int32_t>(face_count));
            if (status != 0) return status;
        }
        state = ReaderState::Vertices;
        return SURFACE_OK;
    }

    int read_vertex(const char* token, bool too_long)
    {
        int failure = vertex_failure(has_colour, has_normal);
        float x = 0, y = 0, z = 0, nx, ny, nz, r = 0, g = 0, b = 0;
        if (too_long || std::sscanf(token, "%f", &x) != 1) return failure;
        int got = 0, required = 3;
        bool conversion = pass == ReadPass::Conversion;
        if (has_colour && has_normal) {
            if (conversion) {
                got = std::fscanf(stream, "%f%f%*f%*f%*f%f%f%f", &y, &z, &r, &g, &b);
                required = 6;
            } else {
                got = std::fscanf(stream, "%f%f%f%f%f%f%f%f", &y, &z, &nx, &ny, &nz, &r, &g, &b);
                required = 9;
            }
        } else if (has_colour) {
            got = std::fscanf(stream, "%f%f%f%f%f", &y, &z, &r, &g, &b);
            required = 6;
        } else if (has_normal) {
            got = std::fscanf(stream, "%f%f%f%f%f", &y, &z, &nx, &ny, &nz);
            required = 6;
        } else {
            got = std::fscanf(stream, "%f%f", &y, &z);
        }
        if (1 + std::max(got, 0) != required) return failure;
        skip_rest_of_line(stream);

        if (transform) {
            Vector3 moved = transform_point(transform, x, y, z);
            x = static_cast<float>(moved.x);
            y = static_cast<float>(moved.y);
            z = static_cast<float>(moved.z);
        }
        // "nan" and "inf" read as numbers; they would poison the bounding box.
        if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) return failure;
        if (has_colour) vertex_colours.push_back(colour_from_components(r, g, b));
        if (sink.vertex) {
            int status = sink.vertex(sink.context, Vector3{x, y, z});
            if (status != 0) return status;
        }
        if (++vertices_read == vertex_count) state = ReaderState::Faces;
        return SURFACE_OK;
    }

    uint32_t face_line_colour()
    {
        // Only this line is looked at, so a face without a colour never
        // borrows numbers from the next face, whatever ends the line.
        std::string rest = read_rest_of_line(stream);
        float r, g, b;
        if (std::sscanf(rest.c_str(), "%f%f%f", &r, &g, &b) == 3) return colour_from_components(r, g, b);
        return make_colour(DEFAULT_FACE_RED, DEFAULT_FACE_GREEN, DEFAULT_FACE_BLUE);
    }

    int read_face(const char* token, bool too_long)
    {
        long n;
        if (too_long || !parse_long(token, n) || n < 0 || n > INT32_MAX) return SURFACE_BAD_FACE;
        uint32_t colour = make_colour(DEFAULT_FACE_RED, DEFAULT_FACE_GREEN, DEFAULT_FACE_BLUE);
        const int32_t* face_indices = nullptr;
        if (n > MAX_FACE_VERTICES) {
            // Too large to sample: its indices are read past, not kept.
            for (long i = 0; i < n; ++i) {
                long index;
                if (!read_long(stream, index)) return SURFACE_BAD_FACE;
            }
            skip_rest_of_line(stream);
        } else {
            indices.resize(static_cast<size_t>(n));
            for (long i = 0; i < n; ++i) {
                long index;
                if (!read_long(stream, index) || index < 0 || index >= vertices_read)
                    return SURFACE_BAD_FACE;
                indices[i] = static_cast<int32_t>(index);
            }
            face_indices = indices.data();
            if (has_colour) {
                if (n > 0) colour = vertex_colours[indices[0]];
                skip_rest_of_line(stream);
            } else {
                colour = face_line_colour();
            }
        }
        if (sink.face) {
            int status = sink.face(sink.context, static_cast<int32_t>(n), face_indices, colour);
            if (status != 0) return status;
        }
        return finish_face();
    }

    int finish_face()
    {
        if (++faces_read < face_count) return SURFACE_OK;
        if (sink.end_object) {
            int status = sink.end_object(sink.context);
            if (status != 0) return status;
        }
        end_object();
        return SURFACE_OK;
    }

    int handle(const char* token, bool too_long)
    {
        switch (state) {
        case ReaderState::Header:
            read_header(token);
            return SURFACE_OK;
        case ReaderState::Counts:
            return read_counts(token, too_long);
        case ReaderState::Vertices:
            return read_vertex(token, too_long);
        case ReaderState::Faces:
            // Both passes read a face alike (its indices across line ends if
            // need be), so that both see the same objects.
            return read_face(token, too_long);
        }
        return SURFACE_OK;
    }

    int run()
    {
        std::rewind(stream);
        std::vector<char> token(TOKEN_CAPACITY);
        bool too_long = false;
        while (read_token(stream, token.data(), too_long)) {
            const char* t = token.data();
            if (t[0] == '#') {
                skip_rest_of_line(stream);
                continue;
            }
            if (std::strcmp(t, "LIST") == 0 || t[0] == '{' || t[0] == '}') {
                if (state != ReaderState::Header) return SURFACE_CUT_OFF;
                continue;
            }
            int status = handle(t, too_long);
            if (status != 0) return status;
        }
        // An object still open at the end of the file was cut off.
        return state == ReaderState::Header ? SURFACE_OK : SURFACE_CUT_OFF;
    }
};

}  // namespace

int read_surface(std::FILE* stream, ReadPass pass, const double* transform, const SurfaceSink& sink)
{
    if (!stream) return SURFACE_BAD_COUNTS;
    Reader reader(stream, pass, transform, sink);
    try {
        return reader.run();
    } catch (const std::bad_alloc&) {
        return SURFACE_BAD_COUNTS;
    }
}

}  // namespace kestrane
