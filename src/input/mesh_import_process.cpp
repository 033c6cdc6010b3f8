// Assimp in a child process: the child imports the file and sends the mesh
// back through a pipe; a child that dies (Assimp reading past a damaged
// file's end, say) leaves the parent a reason instead of a crash.
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

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

}  // namespace

bool import_mesh(const std::string& path, MeshFileKind kind, PolygonMesh* out, std::string* reason)
{
    out->objects.clear();
    int ends[2];
    if (pipe(ends) != 0) return import_mesh_here(path, kind, out, reason);
    const pid_t child = fork();
    if (child < 0) {
        close(ends[0]);
        close(ends[1]);
        return import_mesh_here(path, kind, out, reason);
    }
    if (child == 0) {
        // A crash here ends the child alone, quietly: no handler of the
        // parent's (a sanitizer's report, a fuzzer's crash file) runs.
        for (int signal_number : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) std::signal(signal_number, SIG_DFL);
        close(ends[0]);
        PolygonMesh mesh;
        std::string why;
        const bool ok = import_mesh_here(path, kind, &mesh, &why);
        write_all(ends[1], encode(ok, why, mesh));
        close(ends[1]);
        _exit(0);  // nothing of the parent's (buffers, handlers, leak checks) runs here
    }
    close(ends[1]);
    std::string bytes;
    char block[65536];
    for (;;) {
        const ssize_t n = read(ends[0], block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        try {
            bytes.append(block, static_cast<size_t>(n));
        } catch (const std::bad_alloc&) {
            bytes.clear();
            break;
        }
    }
    close(ends[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && !bytes.empty()) {
        try {
            if (decode(bytes, out, reason)) return true;
            if (!reason->empty()) {
                out->objects.clear();
                return false;
            }
        } catch (const std::bad_alloc&) {
        }
    }
    out->objects.clear();
    *reason = WIFSIGNALED(status) ? "the mesh reader failed on it (the file looks damaged or cut short)"
                                  : "the mesh reader could not hand it over";
    return false;
}

}  // namespace kestrane
