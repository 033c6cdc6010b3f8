#include "app/command_line.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/app_state.h"
#include "app/frame_formats.h"
#include "app/transform_check.h"

using namespace kestrane;

namespace {

bool fits_path(const char* text) { return std::strlen(text) < static_cast<size_t>(PATH_CAPACITY); }

// An integer read as atoi reads it (blanks before it skipped, text after it
// ignored, no digits read as 0), but without atoi's silent wrap: false when
// the value does not fit in 16 bits, signed or unsigned, so that it cannot
// wrap on the way into the record.
bool read_16_bits(const char* text, long* value)
{
    *value = std::strtol(text, nullptr, 10);
    return *value >= -32768 && *value <= 65535;
}

// Resolution is a lattice step in voxels; only 1..8 may reach the pipeline.
uint16_t clamp_resolution(long value)
{
    if (value < 1) return 1;
    if (value > 8) return 8;
    return static_cast<uint16_t>(value);
}

}  // namespace

bool parse_frame_range(const char* text, uint16_t* first, uint16_t* last)
{
    char* end = nullptr;
    const long a = std::strtol(text, &end, 10);
    long b = a;
    if (end == text) return false;
    if (*end == '-') {
        const char* rest = end + 1;
        b = std::strtol(rest, &end, 10);
        if (end == rest) return false;
    }
    if (*end != '\0' || a < 1 || b < a || b > 65535) return false;
    *first = static_cast<uint16_t>(a);
    *last = static_cast<uint16_t>(b);
    return true;
}

void print_usage(const char* name)
{
    std::fprintf(stderr, "  Usage: %s [-o filename] [-f frames] [-p points] [-r resolution] [-c]\n", name);
    std::fprintf(stderr, "         [-z] [-a distance] [-q] [-v] [-h] initial_file final_file\n");
    std::fprintf(stderr, "  Use `%s -h' to display further help.\n", name);
}

void print_help(const char* name)
{
    std::fprintf(stdout, "\n");
    std::fprintf(stdout, "  Kestrane v%.1f%c, Orvalle, %9s\n", VERSION_NUMBER, VERSION_LETTER, RELEASE_DATE);
    std::fprintf(stdout,
                 "  -----------------------------------------------------------------------\n"
                 "   For automatically generating and displaying a sequence of surfaces\n"
                 "  which morph between two given surfaces. Input surfaces are in OOGL\n"
                 "  'OFF' format, and output surfaces are triangulated using Regularised\n"
                 "  Marching Tetrahedra.\n"
                 "   The output files are either in VRML (if the -v option is used) or are\n"
                 "  suitable for use with the Geomview visualisation package, available for\n"
                 "  Unix and Linux platforms.\n"
                 "\n");
    std::fprintf(stdout, "  Usage: %s {parameters} initial_file final_file\n", name);
    std::fprintf(stdout,
                 "\n"
                 "  Input parameters :                                            (default)\n"
                 "    -{O|o} {filename}    output file name base                  no output\n"
                 "    -{F|f} {frames}      number of frames in morph                     20\n"
                 "    -{P|p} {points}      minimum sample points in any direction        20\n"
                 "    -{D|d} {size}        voxel edge in the source's units, instead of\n"
                 "                         -p (the grid and memory are told first)     no\n"
                 "    -{R|r} {resolution}  resolution of isosurface cf samples            1\n"
                 "    -{A|a} {distance}    antialias surfaces, initialising to a distance\n"
                 "                         of {distance} samples (0 disables)       yes,1.1\n"
                 "    -{C|c}               scale centres of surfaces                     no\n"
                 "    -{Z|z}               scale centres and size of surfaces           yes\n"
                 "    -{Q|q}               quick (shape-based) morphing                  no\n"
                 "    -{V|v}               output as vrml                                no\n"
                 "    -{H|h|?}             display this help screen                      no\n"
                 "\n"
                 "  Output files:\n"
                 "    '{filename}###.off' OOGL format intermediate surface morphs\n"
                 "    'sphere###.sph'     OOGL format sphere representation\n"
                 "    '{filename}###.wrl' VRML format intermediate surface morphs\n"
                 "    'sphere###.wrl'     VRML format sphere representation\n"
                 "\n");
}

int parse_command_line(int argc, char** argv)
{
    app_state_init();
    if (argc < 2) return 0;

    int result = 0;
    int files = 0;
    int i = 1;
    const char* examined = nullptr;  // the argument the error is about
    const char* parameter = nullptr; // the argument before it
    for (; i < argc && result == 0; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--format") == 0) {
            // Several frame formats at once; like -u and -v, the last choice stands.
            examined = i + 1 < argc ? argv[i + 1] : nullptr;
            parameter = arg;
            ++i;
            std::vector<SurfaceFormat> formats;
            if (!examined || !parse_format_list(examined, &formats)) {
                result = 1;
                continue;
            }
            choose_single_format(formats[0]);
            app.more_formats.assign(formats.begin() + 1, formats.end());
            continue;
        }
        if (arg[0] == '-') {
            char option = static_cast<char>(std::toupper(static_cast<unsigned char>(arg[1])));
            const char* value = (i + 1 < argc) ? argv[i + 1] : nullptr;
            bool takes_value = std::strchr("ADFJOPRST", option) != nullptr && option != '\0';
            if (takes_value) {
                examined = value;
                parameter = arg;
                ++i;  // the value is consumed whatever it starts with
                if (!value) {
                    result = 1;
                    continue;
                }
            }
            switch (option) {
            case '?':
            case 'H':
                print_help(argv[0]);
                return COMMAND_LINE_HELP;
            case 'A':
                app.antialias_distance = std::atof(value);
                if (app.antialias_distance > 1) {
                    app.antialias = true;
                } else {
                    app.antialias = false;
                    app.antialias_distance = 0.0;
                }
                break;
            case 'C':
                app.scale_centres = true;
                app.scale_sizes = false;
                break;
            case 'D': {
                // A voxel's edge in the source's units: finite and above 0.
                char* end = nullptr;
                const double size = std::strtod(value, &end);
                if (end == value || *end != '\0' || !std::isfinite(size) || !(size > 0)) result = 1;
                else app.voxel_size = size;
                break;
            }
            case 'F': {
                long frames;
                if (!read_16_bits(value, &frames) || frames < 2) result = 1;
                else app.frame_count = static_cast<uint16_t>(frames);
                break;
            }
            case 'J': {
                // Worker threads: 1 up to a generous limit. Read whole, so
                // that 2^32 + 2 is not taken for 2.
                const long threads = std::strtol(value, nullptr, 10);
                if (threads < 1 || threads > MAX_THREADS) result = 1;
                else app.threads = static_cast<uint16_t>(threads);
                break;
            }
            case 'O':
                if (value[0] == '\0' || !fits_path(value)) {
                    result = 1;
                    break;
                }
                app.output_base = value;
                // A format given before -o (-u, -v) stands.
                if (app.output_format == SURFACE_FORMAT_NONE) app.output_format = SURFACE_FORMAT_OOGL;
                break;
            case 'P': {
                long points;
                if (!read_16_bits(value, &points) || points < 10) result = 1;
                else app.min_points = static_cast<uint16_t>(points);
                break;
            }
            case 'Q':
                app.quick_morph = true;
                break;
            case 'R': {
                long resolution;
                if (!read_16_bits(value, &resolution)) result = 1;
                else app.resolution = clamp_resolution(resolution);
                break;
            }
            case 'S':
                if (!parse_frame_range(value, &app.first_frame, &app.last_frame)) result = 1;
                break;
            case 'T': {
                int read = parse_transform(value, app.transform);
                app.scale_centres = false;
                app.scale_sizes = false;
                if (read < 16 || !transform_usable(app.transform)) result = 1;
                break;
            }
            case 'U':
                // Not in the help text above: kestrane-batch -h describes it.
                choose_single_format(SURFACE_FORMAT_PLY);
                break;
            case 'V':
                choose_single_format(SURFACE_FORMAT_VRML);
                break;
            case 'Z':
                app.scale_centres = false;
                app.scale_sizes = false;
                break;
            default:
                std::fprintf(stderr, "Unknown input parameter `%s'.\n", arg);
                print_usage(argv[0]);
                return 2;
            }
        } else {
            examined = arg;
            parameter = argv[i - 1];
            if (files >= 2) {
                std::fprintf(stderr, "Unknown string input `%s'.\n", arg);
                print_usage(argv[0]);
                return 2;
            }
            if (arg[0] == '\0' || !fits_path(arg)) {
                result = 1;
                break;
            }
            if (files == 0)
                app.source_path = arg;
            else
                app.target_path = arg;
            ++files;
        }
    }
    if (result == 1) {
        std::fprintf(stderr, "Illegal argument `%s' for parameter `%s'.\n", examined ? examined : "(null)",
                     parameter ? parameter : "(null)");
        print_usage(argv[0]);
    }
    return result;
}
