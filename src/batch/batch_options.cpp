#include "batch/batch_options.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/version.h"

using namespace kestrane;

BatchOptions take_batch_options(int argc, char** argv)
{
    BatchOptions options;
    if (argc > 0) options.shared_arguments.push_back(argv[0]);
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const char option = arg[0] == '-' ? static_cast<char>(std::toupper(static_cast<unsigned char>(arg[1]))) : 0;
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
                 "    -{G|g} {file.glb}    the frames also as one animated binary glTF   no\n"
                 "                         (given alone, without -o, -v or -u: only the\n"
                 "                         GLB, no frame or sphere files)\n"
                 "    --fps {rate}         frames a second of the GLB's animation        24\n"
                 "                         (1 to 1000)\n"
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
