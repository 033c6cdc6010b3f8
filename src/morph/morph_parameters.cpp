#include "morph/morph_parameters.h"

#include <thread>

namespace kestrane {

uint16_t machine_cores()
{
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<uint16_t>(cores < 1 ? 1 : cores > 256 ? 256 : cores);
}

}  // namespace kestrane
