#include "morph/morph_events.h"

namespace kestrane {

const char* problem_name(Problem problem)
{
    switch (problem) {
    case Problem::None: return "no problem";
    case Problem::CannotOpen: return "cannot open";
    case Problem::UnknownFormat: return "unknown format";
    case Problem::Unreadable: return "unreadable";
    case Problem::GridTooLarge: return "grid too large";
    case Problem::NotEnoughMemory: return "not enough memory";
    case Problem::ConversionFailed: return "conversion failed";
    case Problem::NoVolume: return "no volume";
    case Problem::TooManySpheres: return "too many spheres";
    case Problem::NoSpheres: return "no spheres";
    case Problem::TooManyPoints: return "too many points";
    case Problem::TooManyTriangles: return "too many triangles";
    case Problem::Cancelled: return "cancelled";
    case Problem::BadParameter: return "bad parameter";
    case Problem::NotLoaded: return "not loaded";
    case Problem::WriteFailed: return "write failed";
    case Problem::OpenSurface: return "open surface";
    }
    return "unknown problem";
}

}  // namespace kestrane
