#include "batch/batch_options.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/version.h"
#include "batch/video_format.h"

using namespace kestrane;

namespace {

// The video's options; false when arg is none of them.
bool take_video_option(int argc, char** argv, int& i, BatchOptions& options)
{
    const char* arg = argv[i];
    if (std::strcmp(arg, "--turntable") == 0) return options.video.turntable = true;
    if (std::strcmp(arg, "--viewer-camera") == 0) return options.video.starting_view = true;
    const bool file = std::strcmp(arg, "--video") == 0;
    const bool up = std::strcmp(arg, "--video-up") == 0;
    if (!file && !up && std::strcmp(arg, "--video-size") != 0) return false;
    const char* value = i + 1 < argc ? argv[++i] : nullptr;
    bool legal = false;
    if (up) {
        legal = value && (std::strcmp(value, "y") == 0 || std::strcmp(value, "z") == 0);
        if (legal) options.video.y_up = value[0] == 'y';
    } else if (file) {
        legal = value && video_kind(value) != VideoKind::None;
        if (legal) options.video.file = value;
    } else {
        legal = parse_video_size(value, &options.video.width, &options.video.height);
    }
    if (!legal && options.error.empty())
        options.error =
            std::string("Illegal argument `") + (value ? value : "(null)") + "' for parameter `" + arg + "'.";
    return true;
}

// Video options that make sense only together, and a build that has none.
void check_video_options(BatchOptions& options)
{
    if (!options.error.empty()) return;
    if (options.video.file.empty() && (options.video.turntable || options.video.starting_view || options.video.y_up))
        options.error = "--turntable, --viewer-camera and --video-up go with --video.";
}

}  // namespace

BatchOptions take_batch_options(int argc, char** argv)
{
    BatchOptions options;
    if (argc > 0) options.shared_arguments.push_back(argv[0]);
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const char option = arg[0] == '-' ? static_cast<char>(std::toupper(static_cast<unsigned char>(arg[1]))) : 0;
        if (option == 'G' && (i + 1 >= argc || argv[i + 1][0] == '-')) {
            // Without a name of its own (the next argument is an option,
            // or none) the GLB is named after the frames' base: -g -o out/m
            // writes out/m.glb.
            options.gltf_from_base = true;
            continue;
        }
        if (option == 'G' || std::strcmp(arg, "--fps") == 0) {
            const char* value = i + 1 < argc ? argv[++i] : nullptr;
            char* end = nullptr;
            const long fps = value ? std::strtol(value, &end, 10) : 0;
            if (option == 'G' && value && value[0] != '\0')
                options.gltf_file = value;
            else if (option != 'G' && value && end != value && *end == '\0' && fps >= 1 && fps <= 1000)
                options.fps = static_cast<int>(fps);
            else if (options.error.empty())
                options.error = std::string("Illegal argument `") + (value ? value : "(null)") + "' for parameter `" +
                                arg + "'.";
            continue;
        }
        // Its value taken whole here, as the shared command line takes it ("--format -w" is no -w).
        if (std::strcmp(arg, "--format") == 0) {
            options.shared_arguments.push_back(argv[i]);
            if (i + 1 < argc) options.shared_arguments.push_back(argv[++i]);
            continue;
        }
        if (take_video_option(argc, argv, i, options)) continue;
        if (option == 'W') {
            options.quiet = true;
            continue;
        }
        if (option == 'H' || option == '?' || std::strcmp(arg, "--help") == 0) {
            options.help = true;
            return options;
        }
        options.shared_arguments.push_back(argv[i]);
        if (option != 0 && std::strchr("AFOPRT", option) && i + 1 < argc) options.shared_arguments.push_back(argv[++i]);
    }
    options.video.fps = options.fps;
    check_video_options(options);
    return options;
}

void print_batch_help(const char* name)
{
    std::fprintf(stdout, "\n  kestrane-batch, Kestrane v%.1f%c without a display\n", VERSION_NUMBER, VERSION_LETTER);
    std::fprintf(stdout,
                 "  -----------------------------------------------------------------------\n"
                 "   Morphs one closed surface into another and writes every frame (and\n"
                 "  the sphere files) without opening a window.\n"
                 "\n");
    std::fprintf(stdout, "  Usage: %s {parameters} initial_file final_file\n", name);
    std::fprintf(stdout,
                 "\n"
                 "  Input files, recognised by their content, then by their extension:\n"
                 "    OOGL OFF, COFF, NOFF, CNOFF, also in a LIST      (.off)\n"
                 "    STL, ASCII or binary                             (.stl)\n"
                 "    Wavefront OBJ                                    (.obj)\n"
                 "    PLY, ASCII or binary                             (.ply)\n"
                 "    glTF 2.0, JSON or binary                         (.gltf, .glb)\n"
                 "  A file of several meshes or objects is one shape.\n"
                 "\n"
                 "  Parameters :                                                  (default)\n"
                 "    -{O|o} {base}        output file name base                      morph\n"
                 "    -{F|f} {frames}      number of frames in morph                     20\n"
                 "    -{P|p} {points}      minimum sample points in any direction        20\n"
                 "    -{D|d} {size}        voxel edge in the source's units, instead of\n"
                 "                         -p (the grid and memory are told first)     no\n"
                 "    -{R|r} {resolution}  resolution of isosurface cf samples            1\n"
                 "    -{A|a} {distance}    antialias surfaces, initialising to a distance\n"
                 "                         of {distance} samples (0 disables)       yes,1.1\n"
                 "    -{C|c}               match centres only, not sizes                 no\n"
                 "    -{Z|z}               keep each surface's own centre and size       no\n"
                 "                         (by default the target is moved onto the source's\n"
                 "                         centre and scaled to its box volume)\n"
                 "    -{T|t} {16 values}   transform the source by a column-major 4x4\n"
                 "                         matrix; centres and sizes are then kept     none\n"
                 "    -{Q|q}               quick (shape-based) morphing                  no\n"
                 "    -{V|v}               frames as VRML 1.0                            no\n"
                 "    -{U|u}               frames as binary PLY in the source's units    no\n"
                 "    --format {list}      frames in several formats at once, from off,\n"
                 "                         wrl, ply, obj, stl: e.g. --format ply,obj,stl  off\n"
                 "                         (the last of -v, -u and --format counts)\n"
                 "    -{J|j} {threads}     worker threads                 the machine's cores\n"
                 "    -{S|s} {first-last}  write only frames first to last (from 1)     all\n"
                 "                         (sphere files with the ends they include)\n"
                 "    -{G|g} [file.glb]    the frames also as one animated binary glTF   no\n"
                 "                         (without a name: {base}.glb, e.g. -g -o out/m\n"
                 "                         writes out/m.glb beside the frames)\n"
                 "                         (given alone, without -o, -v or -u: only the\n"
                 "                         GLB, no frame or sphere files)\n"
                 "    --fps {rate}         frames a second of the GLB's animation        24\n"
                 "                         and of the video (1 to 1000)\n"
                 "    --video {file}       the frames also as a video, drawn offscreen   no\n"
                 "                         as the viewer draws them: .mp4 (H.264),\n"
                 "                         .webm (VP9) or .gif (given alone, as -g)\n"
                 "    --video-size {WxH}   the video's size, even, 16 to 7680      1280x720\n"
                 "    --video-up {y|z}     the surfaces' axis that is up in the video     z\n"
                 "                         (z as in the viewer; y for most glTF, OBJ\n"
                 "                         and scanned meshes)\n"
                 "    --turntable          the video turns the morph once around         no\n"
                 "    --viewer-camera      the video from the viewer's starting camera   no\n"
                 "                         (else the camera frames the whole morph)\n"
                 "    -{W|w}               print only warnings and errors                no\n"
                 "    -{H|h|?}             display this help screen                      no\n"
                 "\n"
                 "  Output files (the sphere files beside the frames, in the folder of the\n"
                 "  base name; sphere files are not written with -q):\n"
                 "    '{base}###.off'  OOGL CNOFF frames (the default), in 1/64 voxel\n"
                 "                     about the middle voxel: Geomview\n"
                 "    '{base}###.wrl'  VRML 1.0 frames, same units: any VRML 1.0 viewer\n"
                 "    '{base}###.ply'  binary PLY frames with normals and colours, in the\n"
                 "                     source file's units (after -t): MeshLab, Blender,\n"
                 "                     ParaView. Frame 1 lies on the source; the last frame\n"
                 "                     lies on the target with -z, else on the target moved\n"
                 "                     (and scaled) as described under -z\n"
                 "    '{base}##.obj'   Wavefront OBJ frames, same units, with vertex colours\n"
                 "                     and normals: Blender, MeshLab, most 3D programs\n"
                 "    '{base}##.stl'   binary STL frames, same units: Blender, slicers, CAD\n"
                 "                     (OBJ and STL numbers have the digits of -f: 01..20)\n"
                 "    'sphere###.sph'  OOGL spheres of source and target (CNOFF, PLY, OBJ, STL)\n"
                 "    'sphere###.wrl'  VRML spheres (with -v)\n"
                 "    '{file}.glb'     glTF 2.0 of the frames of the run, in the source's\n"
                 "                     units, one mesh per frame shown in turn by its\n"
                 "                     animation: Blender (File > Import > glTF 2.0),\n"
                 "                     any glTF 2.0 viewer\n"
                 "    '{file}.mp4'     H.264 video: any video player or web browser\n"
                 "    '{file}.webm'    VP9 video: web browsers, VLC, mpv\n"
                 "    '{file}.gif'     animated GIF: web pages, image viewers\n"
                 "  Standard output names every file written, one per line. Progress,\n"
                 "  warnings and errors go to standard error: on a terminal as one line\n"
                 "  that is rewritten, otherwise one line per stage and per frame.\n"
                 "\n"
                 "  Exit status:\n"
                 "    0  every file was written\n"
                 "    1  the command line was rejected\n"
                 "    2  an input file could not be opened, read or converted\n"
                 "    3  the shape analysis or a frame's triangulation failed\n"
                 "    4  an output directory or file could not be written (checked first)\n"
                 "\n");
}

std::string output_directory(const std::string& output_base)
{
    const size_t slash = output_base.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : output_base.substr(0, slash);
}

std::string directory_write_failure(const std::string& directory)
{
    // Trying is the only sure test: permissions say nothing to root, and a
    // read-only file system or a full quota shows only on writing.
    std::string probe = directory + "/.kestrane-write-check-XXXXXX";
    int fd = mkstemp(probe.data());
    if (fd < 0) return std::strerror(errno);
    close(fd);
    unlink(probe.c_str());
    return "";
}
