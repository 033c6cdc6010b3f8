#pragma once
// What a reading pass meets, in order: the fuzz targets check that the
// sizing and the conversion pass over one input meet the same things.
#include <cstdint>
#include <vector>

#include "input/off_reader.h"

// What a pass meets, in order.
struct Tally {
    std::vector<int64_t> events;  // object counts, vertex and face marks, object ends
};

inline SurfaceSink tally_sink(Tally* t)
{
    SurfaceSink sink;
    sink.context = t;
    sink.begin_object = [](void* c, int32_t vertices, int32_t faces) {
        static_cast<Tally*>(c)->events.push_back(int64_t{vertices} << 32 | static_cast<uint32_t>(faces));
        return 0;
    };
    sink.vertex = [](void* c, Vector3) {
        static_cast<Tally*>(c)->events.push_back(-1);
        return 0;
    };
    sink.face = [](void* c, int32_t n, const int32_t*, uint32_t) {
        static_cast<Tally*>(c)->events.push_back(-2 - int64_t{n});
        return 0;
    };
    sink.end_object = [](void* c) {
        static_cast<Tally*>(c)->events.push_back(-3);
        return 0;
    };
    return sink;
}
