#include "output/output_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <vector>

namespace kestrane {
namespace {

// The temporaries open in this process, for remove_open_temporaries. A
// slot is claimed, filled, then published; a signal handler reads only
// published slots, so it never sees a half-copied path.
constexpr int TEMPORARY_SLOTS = 16;
constexpr size_t SLOT_PATH = 4096;
enum SlotState { SLOT_FREE = 0, SLOT_CLAIMED = 1, SLOT_PUBLISHED = 2 };
struct TemporarySlot {
    std::atomic<int> state{SLOT_FREE};
    char path[SLOT_PATH];
};
TemporarySlot slots[TEMPORARY_SLOTS];
static_assert(std::atomic<int>::is_always_lock_free, "slots are read in signal handlers");

int publish_temporary(const std::string& path)
{
    if (path.size() >= SLOT_PATH) return -1;
    for (int i = 0; i < TEMPORARY_SLOTS; ++i) {
        int expected = SLOT_FREE;
        if (!slots[i].state.compare_exchange_strong(expected, SLOT_CLAIMED)) continue;
        std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
        slots[i].state.store(SLOT_PUBLISHED);
        return i;
    }
    return -1;  // more open at once than slots: written, but not removed by a handler
}

void release_slot(int slot)
{
    if (slot >= 0) slots[slot].state.store(SLOT_FREE);
}

void split_name(const std::string& name, std::string* directory, std::string* base)
{
    size_t slash = name.rfind('/');
    *directory = slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
    *base = slash == std::string::npos ? name : name.substr(slash + 1);
}

bool process_gone(long pid)
{
    return pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

const char* const TEMPORARY_MARK = ".tmp-";

// The part of a temporary's name between the dot and ".tmp-<pid>" when the
// whole name would pass the name limit: a prefix of the name (still telling
// what it is) and a hash of all of it (telling names of one prefix apart).
std::string short_stem(const std::string& base)
{
    uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (unsigned char c : base) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    // Cut between characters, not inside a UTF-8 sequence.
    size_t keep = std::min<size_t>(base.size(), 64);
    while (keep > 0 && keep < base.size() && (static_cast<unsigned char>(base[keep]) & 0xC0) == 0x80) --keep;
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
    return base.substr(0, keep) + "~" + digits;
}

// The longest name the directory takes.
long name_limit(const std::string& directory)
{
    const long limit = pathconf(directory.empty() ? "." : directory.c_str(), _PC_NAME_MAX);
    return limit > 0 ? limit : NAME_MAX;
}

}  // namespace

std::string temporary_file_name(const std::string& name, long pid, long limit)
{
    std::string directory, base;
    split_name(name, &directory, &base);
    const std::string suffix = TEMPORARY_MARK + std::to_string(pid);
    const std::string full = "." + base + suffix;
    if (static_cast<long>(full.size()) <= limit) return directory + full;
    return directory + "." + short_stem(base) + suffix;
}

void remove_stale_temporaries(const std::vector<std::string>& names)
{
    // One scan of each directory, however many names it holds.
    std::map<std::string, std::set<std::string>> bases;
    for (const std::string& name : names) {
        std::string directory, base;
        split_name(name, &directory, &base);
        // Either form: which one a run chose depended on its pid's length.
        bases[directory].insert(base);
        bases[directory].insert(short_stem(base));
    }
    const std::string marker = TEMPORARY_MARK;
    for (const auto& [directory, wanted] : bases) {
        DIR* dir = opendir(directory.empty() ? "." : directory.c_str());
        if (!dir) continue;
        while (const dirent* entry = readdir(dir)) {
            const std::string entry_name = entry->d_name;
            const size_t at = entry_name.rfind(marker);
            if (entry_name[0] != '.' || at == std::string::npos || at < 1) continue;
            if (!wanted.count(entry_name.substr(1, at - 1))) continue;
            const std::string digits = entry_name.substr(at + marker.size());
            if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9)
                continue;
            if (process_gone(std::stol(digits))) unlink((directory + entry_name).c_str());
        }
        closedir(dir);
    }
}

void remove_stale_temporaries(const std::string& name) { remove_stale_temporaries(std::vector<std::string>{name}); }

void remove_open_temporaries()
{
    for (TemporarySlot& slot : slots)
        if (slot.state.load() == SLOT_PUBLISHED) unlink(slot.path);
}

OutputFile::OutputFile(const std::string& name) : final_name(name)
{
    // A final name that exists as a directory, or as a file that may not
    // be written, stays as it is, as when files were written in place.
    // errno tells the caller why.
    struct stat existing;
    if (stat(name.c_str(), &existing) == 0) {
        if (S_ISDIR(existing.st_mode)) {
            errno = EISDIR;
            return;
        }
        if (access(name.c_str(), W_OK) != 0) return;
    }
    remove_stale_temporaries(name);
    std::string directory, base;
    split_name(name, &directory, &base);
    temporary_name = temporary_file_name(name, static_cast<long>(getpid()), name_limit(directory));
    // Published before it exists, so that a handler never misses it.
    slot = publish_temporary(temporary_name);
    int fd = open(temporary_name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd >= 0) stream = fdopen(fd, "w");
    if (!stream) {
        const int error = errno;
        if (fd >= 0) close(fd);
        unlink(temporary_name.c_str());
        errno = error;
        release_slot(slot);
        slot = -1;
        return;
    }
}

OutputFile::~OutputFile()
{
    if (stream) {
        std::fclose(stream);
        unlink(temporary_name.c_str());
    }
    release_slot(slot);
}

bool OutputFile::commit()
{
    if (!stream) return false;
    // errno keeps the first failure's reason (a full disk, a file too
    // large), whatever the cleanup does after it.
    int error = 0;
    auto step = [&error](bool ok) {
        if (!ok && error == 0) error = errno ? errno : EIO;
        return ok;
    };
    // A write that failed earlier left its errno; the stream remembers only that it failed.
    const int earlier = errno;
    bool written = step(std::fflush(stream) == 0);
    if (written && std::ferror(stream)) {
        error = earlier ? earlier : EIO;
        written = false;
    }
    // On the disk before the rename, so that after a crash the final name
    // holds the old file or the whole new one.
    written = written && step(fsync(fileno(stream)) == 0);
    written = step(std::fclose(stream) == 0) && written;
    stream = nullptr;
    written = written && step(std::rename(temporary_name.c_str(), final_name.c_str()) == 0);
    if (!written) unlink(temporary_name.c_str());
    release_slot(slot);
    slot = -1;
    if (!written) errno = error;
    return written;
}

void write_vrml_header(std::FILE* f) { std::fputs("#VRML V1.0 ascii\nSeparator {\n", f); }

void write_vrml_material_start(std::FILE* f)
{
    std::fputs(" Material {\n", f);
    std::fputs("  ambientColor 0.2 0.2 0.2\n", f);
}

void write_vrml_material_end(std::FILE* f)
{
    std::fputs("  specularColor 0.1 0.1 0.1\n", f);
    std::fputs("  emissiveColor 0 0 0\n", f);
    std::fputs("  shininess     0.2\n", f);
    std::fputs("  transparency  0\n", f);
    std::fputs(" }\n", f);
}

}  // namespace kestrane
