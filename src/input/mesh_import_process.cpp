// Assimp in a child process: the child imports the file and sends the mesh
// back through a pipe; a child that dies (Assimp reading past a damaged
// file's end, say) leaves the parent a reason instead of a crash. The child
// runs under limits of its own (import_limits.h): address space and
// processor time set in it, a wall-clock deadline and the cancel flags
// watched by the parent, which kills and reaps it.
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

#include "input/mesh_import.h"

namespace kestrane {
namespace {

// The mesh as bytes: the outcome, the reason, then each object's arrays with
// their lengths. Both ends are this program, so the layout is the machine's.
template <typename T>
void put(std::string& out, const T& value)
{
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

template <typename T>
void put_vector(std::string& out, const std::vector<T>& v)
{
    put(out, static_cast<uint64_t>(v.size()));
    out.append(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(T));
}

std::string encode(bool ok, const std::string& reason, const PolygonMesh& mesh)
{
    std::string out;
    put(out, static_cast<uint8_t>(ok));
    put(out, static_cast<uint64_t>(reason.size()));
    out += reason;
    put(out, static_cast<uint64_t>(mesh.objects.size()));
    for (const PolygonObject& o : mesh.objects) {
        put_vector(out, o.positions);
        put_vector(out, o.face_sizes);
        put_vector(out, o.corners);
        put_vector(out, o.face_colours);
    }
    return out;
}

struct Reader {
    const std::string& in;
    size_t at = 0;
    bool failed = false;

    template <typename T>
    T take()
    {
        T value{};
        if (in.size() - at < sizeof value) {
            failed = true;
            return value;
        }
        std::memcpy(&value, in.data() + at, sizeof value);
        at += sizeof value;
        return value;
    }
    template <typename T>
    void take_vector(std::vector<T>& v)
    {
        const uint64_t n = take<uint64_t>();
        if (failed || n > (in.size() - at) / sizeof(T)) {
            failed = true;
            return;
        }
        v.resize(static_cast<size_t>(n));
        std::memcpy(v.data(), in.data() + at, static_cast<size_t>(n) * sizeof(T));
        at += static_cast<size_t>(n) * sizeof(T);
    }
};

bool decode(const std::string& in, PolygonMesh* out, std::string* reason)
{
    Reader r{in};
    const bool ok = r.take<uint8_t>() != 0;
    const uint64_t length = r.take<uint64_t>();
    if (r.failed || length > in.size() - r.at) return false;
    *reason = in.substr(r.at, static_cast<size_t>(length));
    r.at += static_cast<size_t>(length);
    const uint64_t objects = r.take<uint64_t>();
    for (uint64_t i = 0; !r.failed && i < objects; ++i) {
        out->objects.emplace_back();
        PolygonObject& o = out->objects.back();
        r.take_vector(o.positions);
        r.take_vector(o.face_sizes);
        r.take_vector(o.corners);
        r.take_vector(o.face_colours);
    }
    if (r.failed || r.at != in.size()) return false;
    return ok;
}

void write_all(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

// How the child ends when it does not send a reply.
constexpr int CHILD_OUT_OF_MEMORY = 3;
constexpr int CHILD_ORPHANED = 4;

// Under its address-space limit an allocation fails: said by the status,
// since nothing can be built to say it in a reply.
void out_of_memory() { _exit(CHILD_OUT_OF_MEMORY); }

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer ends the process on a failed allocation instead of
// throwing; its report names the fault.
void sanitizer_report(const char* report)
{
    for (const char* fault : {"out-of-memory", "allocation-size-too-big", "rss-limit-exceeded"})
        if (std::strstr(report, fault)) _exit(CHILD_OUT_OF_MEMORY);
}

// Its own maps that fail end it without a report: it is out of memory
// when what it holds is within a few pages' reach of the limit. Read with
// system calls alone, as nothing may be allocated here.
rlim_t sanitized_address_space = RLIM_INFINITY;

void sanitizer_death()
{
    char text[64] = {};
    const int fd = open("/proc/self/statm", O_RDONLY);
    if (fd < 0) return;
    const ssize_t got = read(fd, text, sizeof text - 1);
    close(fd);
    if (got <= 0) return;
    const unsigned long long held = std::strtoull(text, nullptr, 10) * static_cast<unsigned long long>(sysconf(_SC_PAGE_SIZE));
    if (held + (16u << 20) >= sanitized_address_space) _exit(CHILD_OUT_OF_MEMORY);
}
#endif

// The address space the process holds now: the child starts with as much.
int64_t mapped_bytes()
{
    long pages = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
        std::fclose(statm);
    }
    return static_cast<int64_t>(pages) * sysconf(_SC_PAGE_SIZE);
}

// limit lowered to value (soft and hard), never raised.
rlimit lowered(int resource, rlim_t value)
{
    rlimit limit{RLIM_INFINITY, RLIM_INFINITY};
    getrlimit(resource, &limit);
    limit.rlim_max = std::min(limit.rlim_max, value);
    limit.rlim_cur = std::min(limit.rlim_cur, limit.rlim_max);
    return limit;
}

// The process limits of one reader, worked out before the fork.
struct ChildLimits {
    rlimit address_space;
    rlimit cpu;
};

ChildLimits child_limits(const ReaderLimits& r)
{
    ChildLimits c;
    const int64_t mapped = mapped_bytes();
    const int64_t space = r.memory_bytes > INT64_MAX - mapped ? INT64_MAX : mapped + r.memory_bytes;
    c.address_space = lowered(RLIMIT_AS, static_cast<rlim_t>(space));
    // SIGXCPU at the limit, SIGKILL two seconds later for a reader that
    // does not die of it.
    c.cpu = lowered(RLIMIT_CPU, static_cast<rlim_t>(r.cpu_seconds) + 2);
    c.cpu.rlim_cur = std::min(c.cpu.rlim_max, static_cast<rlim_t>(r.cpu_seconds));
    return c;
}

[[noreturn]] void run_child(int reply, pid_t parent, const ChildLimits& limits, const std::string& path,
                            MeshFileKind kind)
{
    // Killed with the thread that waits for it; a parent gone before this
    // line took effect is seen here.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(CHILD_ORPHANED);
    // A crash here ends the child alone, quietly: no handler of the
    // parent's (a sanitizer's report, a fuzzer's crash file) runs. An
    // interrupt from the terminal ends it too; the parent has its own.
    for (int signal_number : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGINT, SIGTERM, SIGXCPU, SIGPIPE})
        std::signal(signal_number, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    const rlimit no_core{0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    setrlimit(RLIMIT_AS, &limits.address_space);
    setrlimit(RLIMIT_CPU, &limits.cpu);
    std::set_new_handler(out_of_memory);
#if defined(__SANITIZE_ADDRESS__)
    __asan_set_error_report_callback(sanitizer_report);
    sanitized_address_space = limits.address_space.rlim_cur;
    __sanitizer_set_death_callback(sanitizer_death);
#endif
    PolygonMesh mesh;
    std::string why;
    const bool ok = import_mesh_here(path, kind, &mesh, &why);
    write_all(reply, encode(ok, why, mesh));
    close(reply);
    _exit(0);  // nothing of the parent's (buffers, handlers, leak checks) runs here
}

bool cancelled(const ImportLimits& limits)
{
    for (const std::atomic<bool>* flag : limits.cancel)
        if (flag && flag->load()) return true;
    return false;
}

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The parent's wait for the flags and the clock between reads.
constexpr int WATCH_MILLISECONDS = 50;

enum class Stop { None, Deadline, Cancelled };

// Reads the child's reply until it closes the pipe and ends; the child is
// killed when the deadline passes or a flag is raised. Either way it is
// reaped and its pipe closed here: *status and *usage are its own.
Stop collect(pid_t child, int reply, const ReaderLimits& r, const ImportLimits& limits, std::string& bytes,
             int* status, rusage* usage)
{
    const auto start = std::chrono::steady_clock::now();
    Stop stop = Stop::None;
    bool reading = true;
    for (;;) {
        if (limits.waiting) limits.waiting(limits.waiting_context);
        if (cancelled(limits)) {
            stop = Stop::Cancelled;
            break;
        }
        const double left = r.wall_seconds - seconds_since(start);
        if (left <= 0) {
            stop = Stop::Deadline;
            break;
        }
        const int wait_ms = static_cast<int>(std::min<double>(WATCH_MILLISECONDS, std::ceil(left * 1000)));
        if (!reading) {
            // The reply is in (or will not be taken); the child ends next.
            const pid_t done = wait4(child, status, WNOHANG, usage);
            if (done == child) return Stop::None;
            if (done < 0 && errno != EINTR) return Stop::None;
            poll(nullptr, 0, std::min(wait_ms, 5));
            continue;
        }
        pollfd ready{reply, POLLIN, 0};
        const int n = poll(&ready, 1, wait_ms);
        if (n <= 0) continue;  // the time passed, or a signal came: look at the flags again
        const size_t had = bytes.size();
        try {
            bytes.resize(had + 65536);
        } catch (const std::bad_alloc&) {
            // A reply this process cannot hold: closing the pipe ends the
            // child's writes.
            std::string().swap(bytes);
            close(reply);
            reading = false;
            continue;
        }
        const ssize_t got = read(reply, &bytes[had], 65536);
        bytes.resize(had + static_cast<size_t>(std::max<ssize_t>(got, 0)));
        if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN)) {
            close(reply);
            reading = false;
        }
    }
    if (reading) close(reply);
    kill(child, SIGKILL);
    while (wait4(child, status, 0, usage) < 0 && errno == EINTR) {
    }
    return stop;
}

// A failed allocation that was caught and put into words: Assimp says the
// exception's name, a failed read the system's reason. Under the reader's
// address-space limit it is that limit that was reached.
bool says_out_of_memory(const std::string& reason)
{
    return reason == "std::bad_alloc" || reason.find(std::strerror(ENOMEM)) != std::string::npos;
}

double cpu_seconds(const rusage& usage)
{
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

bool import_mesh(const std::string& path, MeshFileKind kind, PolygonMesh* out, std::string* reason,
                 const ImportLimits& limits)
{
    out->objects.clear();
    struct stat file;
    const int64_t file_bytes = stat(path.c_str(), &file) == 0 && S_ISREG(file.st_mode) ? file.st_size : 0;
    const ReaderLimits r = reader_limits(file_bytes, limits);
    const ChildLimits child_limit = child_limits(r);
    int ends[2];
    if (pipe(ends) != 0) {
        *reason = std::string("no pipe to its reader could be made: ") + std::strerror(errno);
        return false;
    }
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child < 0) {
        const int error = errno;
        close(ends[0]);
        close(ends[1]);
        *reason = std::string("no process could be started to read it: ") + std::strerror(error);
        return false;
    }
    if (child == 0) {
        close(ends[0]);
        run_child(ends[1], parent, child_limit, path, kind);
    }
    close(ends[1]);
    std::string bytes;
    int status = 0;
    rusage usage{};
    const Stop stop = collect(child, ends[0], r, limits, bytes, &status, &usage);
    out->objects.clear();
    if (stop == Stop::Deadline || stop == Stop::Cancelled || (cancelled(limits) && !WIFEXITED(status))) {
        *reason = reader_end_reason(stop == Stop::Deadline ? ReaderEnd::Deadline : ReaderEnd::Cancelled, r);
        return false;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && !bytes.empty()) {
        try {
            if (decode(bytes, out, reason)) return true;
            out->objects.clear();
            if (says_out_of_memory(*reason)) *reason = reader_end_reason(ReaderEnd::OutOfMemory, r);
            if (!reason->empty()) return false;
        } catch (const std::bad_alloc&) {
            out->objects.clear();
        }
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == CHILD_OUT_OF_MEMORY) {
        *reason = reader_end_reason(ReaderEnd::OutOfMemory, r);
    } else if (WIFSIGNALED(status) && WTERMSIG(status) == SIGXCPU) {
        *reason = reader_end_reason(ReaderEnd::CpuSignal, r);
    } else if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL && cpu_seconds(usage) >= r.cpu_seconds) {
        *reason = reader_end_reason(ReaderEnd::CpuKill, r);
    } else {
        *reason = WIFSIGNALED(status) ? "the mesh reader failed on it (the file looks damaged or cut short)"
                                      : "the mesh reader could not hand it over";
    }
    return false;
}

}  // namespace kestrane
