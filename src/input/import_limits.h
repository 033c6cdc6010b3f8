#pragma once
// What an import of a mesh file may take: its reader process runs under an
// address-space and a processor-time limit of its own, sized from the
// file, and a wall-clock deadline that the program enforces; a cancel flag
// ends it at once. A hostile file (a header promising 10^9 vertices, one
// that never ends) is refused naming the limit it hit, instead of taking
// the machine's memory or hanging the program.
#include <atomic>
#include <cstdint>
#include <string>

namespace kestrane {

struct ImportLimits {
    // Wall-clock seconds the reader of a file of up to 60 MiB may take; a
    // larger file gets as much again per 60 MiB. Not positive: 60.
    double seconds = 60;
    // The most memory the reader may add to the program's, in bytes; 0: no
    // cap beyond its own sizing. A load passes what it may use in all.
    int64_t memory_budget = 0;
    // Either flag raised (from any thread, or a signal handler's lock-free
    // store) kills the reader and fails the import at once.
    const std::atomic<bool>* cancel[2] = {nullptr, nullptr};
    // Called on the importing thread each time the flags are looked at
    // (about every 50 ms) while the reader works: a viewer handles its
    // window's events there, so that it stays responsive and can cancel.
    void (*waiting)(void* context) = nullptr;
    void* waiting_context = nullptr;
};

// The limits one reader runs under.
struct ReaderLimits {
    int64_t memory_bytes = 0;  // address space beyond what the program holds at the start
    long cpu_seconds = 0;      // SIGXCPU then, SIGKILL two seconds later
    double wall_seconds = 0;   // killed (SIGKILL) by the program then
};

// The limits for a file of file_bytes (0 for one whose size is unknown).
ReaderLimits reader_limits(int64_t file_bytes, const ImportLimits& limits);

// How a reader ended, as far as the limits go.
enum class ReaderEnd {
    OutOfMemory,  // an allocation failed under its address-space limit
    CpuSignal,    // SIGXCPU: its processor time ran out
    CpuKill,      // SIGKILL at the hard processor-time limit
    Deadline,     // killed by the program at the wall-clock deadline
    Cancelled,    // killed by the program for a cancel flag
};

// The reason in words, to follow "could not be read as PLY: ".
std::string reader_end_reason(ReaderEnd end, const ReaderLimits& limits);

}  // namespace kestrane
