#pragma once
// What a morph tells its caller while it works: progress as structured
// events, and problems (warnings and errors) as a code with the file at
// fault and the reason in words. The library never prints; a program turns
// these into its own status line or console lines.
#include <string>

namespace kestrane {

enum class Stage {
    Reading,       // a mesh file read whole (not the OFF family)
    Sizing,        // both surfaces measured; the grid is known after it
    Converting,    // scan conversion of one surface: done of total polygons of
                   // the object in hand (a LIST's objects in turn), then
                   // once more, finished, when the surface is done
    Transforming,  // the distance transform of one volume
    Extracting,    // sphere extraction of one volume
    Linking,       // the automatic correspondence
    Frame,         // one frame: done of total lattice slices, `triangles` so far
};

struct ProgressEvent {
    Stage stage = Stage::Sizing;
    int side = -1;     // 0 source, 1 target, -1 both or neither
    std::string item;  // the file or surface name the stage works on
    std::string format;  // Reading: the format the file is read as
    long done = 0;     // units finished (polygons, slices)
    long total = 0;    // 0 when the stage has no count
    int frame = -1;    // Frame: the frame's number (from 0), of frame_count
    int frame_count = 0;
    long triangles = 0;
    bool finished = false;  // the stage's last event
};

enum class Problem {
    None = 0,
    CannotOpen,           // a file cannot be opened (reason: the system's)
    UnknownFormat,        // not a surface this program reads
    Unreadable,           // the file is damaged or holds no usable surface
    GridTooLarge,         // the grid passes the 16-bit counts
    NotEnoughMemory,      // the load, the spheres or a frame does not fit
    ConversionFailed,     // a surface could not be scan converted
    NoVolume,             // warning: a surface encloses nothing at this sampling
    TooManySpheres,       // warning: switched to quick morphing
    NoSpheres,            // a volume gave no sphere
    TooManyPoints,        // a frame's lattice ran out of point numbers
    TooManyTriangles,     // a frame's mesh ran out of triangle numbers
    Cancelled,            // the cancel flag was raised
    BadParameter,         // a parameter out of its range (reason says which)
    NotLoaded,            // a step asked for before a successful load
    WriteFailed,          // an output file could not be written
    OpenSurface,          // warning: a surface has boundary edges; it is morphed as the solid it bounds
};

enum class Severity { Warning, Error };

// A warning or an error: what, where and why.
struct Report {
    Problem problem = Problem::None;
    Severity severity = Severity::Error;
    std::string file;    // the file at fault, empty when none is
    std::string reason;  // in words, naming the file (`name' ...)
};

// The outcome of a step: ok, or the error that stopped it.
struct Result {
    Problem problem = Problem::None;
    std::string file;
    std::string reason;
    int side = -1;  // 0 the source, 1 the target, -1 both or neither
    int error_number = 0;  // CannotOpen: the system's errno
    Stage stage = Stage::Sizing;  // where it stopped
    bool ok() const { return problem == Problem::None; }
    explicit operator bool() const { return ok(); }
    static Result failure(Problem p, Stage stage, int side, std::string file, std::string reason)
    {
        Result r;
        r.problem = p;
        r.stage = stage;
        r.side = side;
        r.file = std::move(file);
        r.reason = std::move(reason);
        return r;
    }
};

// Receives a morph's events. Calls come on the thread that called the
// morpher (never on its workers), in order; the default ignores them.
class MorphObserver {
public:
    virtual ~MorphObserver() = default;
    virtual void progress(const ProgressEvent&) {}
    virtual void report(const Report&) {}
    // About every 50 ms while a step waits for a file being read in a
    // process of its own (a program keeps its window responsive here).
    virtual void waiting() {}
};

// A short name for a problem code ("cannot open", "not enough memory", ...).
const char* problem_name(Problem problem);

}  // namespace kestrane
