// The surface reader with both passes over one file: the sizing pass and
// the conversion pass must meet the same objects, vertices and faces; then
// sizing and, on a small grid, scan conversion in both modes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "pass_tally.h"
#include "input/off_reader.h"
#include "input/scan_convert.h"
#include "input/volume_sizing.h"

using namespace kestrane;

namespace {

struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> copy(data, data + size);
    std::unique_ptr<std::FILE, Closer> f(fmemopen(copy.empty() ? nullptr : copy.data(), copy.size(), "r"));
    if (!f) return 0;

    // Both passes read the same objects: a failing input stops both at the
    // same point with the same code.
    Tally sized, converted;
    const int sizing_status = read_surface(f.get(), ReadPass::Sizing, nullptr, tally_sink(&sized));
    const int conversion_status = read_surface(f.get(), ReadPass::Conversion, nullptr, tally_sink(&converted));
    if (sizing_status != conversion_status || sized.events != converted.events) {
        std::fprintf(stderr, "the passes disagree: status %d and %d, %zu and %zu events\n", sizing_status,
                     conversion_status, sized.events.size(), converted.events.size());
        std::abort();
    }

    size_and_convert(f.get());
    return 0;
}
