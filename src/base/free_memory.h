#pragma once
// Memory the allocator holds free goes back to the system. Each thread
// allocates from an arena of its own, and an arena keeps the room of the
// largest frame its thread built: over a run of large frames, hundreds of
// megabytes that nothing uses. Giving it back costs page faults when it is
// needed again, so only large work asks for it.
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace kestrane {
inline void return_free_memory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

}  // namespace kestrane
