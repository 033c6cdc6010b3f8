#pragma once
// Output files that are never half-written, and the text every VRML file
// shares.
//
// An OutputFile writes to a temporary file beside the final one, named
// ".<name>.tmp-<pid>" (hidden, and telling which process wrote it; a long
// name is shortened, see temporary_file_name), and
// renames it over the final name only in commit(), after everything was
// flushed to the disk without an error. Destroyed without a commit, or when
// the commit fails, it removes the temporary file: a previous file of the
// final name stays untouched. Temporaries of processes that no longer run
// (a killed run) are removed when the same name is written again.
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

namespace kestrane {
struct OutputFile {
    // Opens the temporary file for `name`. Not open (is_open) when the
    // temporary cannot be created or the final name exists and may not be
    // written (errno says why: EISDIR for a directory).
    explicit OutputFile(const std::string& name);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool is_open() const { return stream != nullptr; }
    // Flushes, syncs to the disk, closes and renames over the final name.
    // False (the temporary removed, the final name untouched, errno the
    // first failure's) on any write error on the way.
    bool commit();

    std::FILE* stream = nullptr;
    std::string final_name;
    std::string temporary_name;
    int slot = -1;  // in the table of open temporaries
};

// ".<base>.tmp-<pid>" in the directory of name; when that passes `limit`
// characters (the directory's longest name), ".<prefix of base>~<hash of
// base>.tmp-<pid>", so that a final name that fits never fails for its
// temporary's.
std::string temporary_file_name(const std::string& name, long pid, long limit = NAME_MAX);
// Removes the temporaries of `name` (or of any of `names`) left by
// processes that no longer run.
void remove_stale_temporaries(const std::string& name);
void remove_stale_temporaries(const std::vector<std::string>& names);
// Removes every temporary file open in this process. Async-signal-safe: for
// a handler that ends the process at once.
void remove_open_temporaries();

// The text every VRML file written starts with.
void write_vrml_header(std::FILE* f);
// The material of the VRML files, written around their diffuse colours:
// the start opens it, the end closes it.
void write_vrml_material_start(std::FILE* f);
void write_vrml_material_end(std::FILE* f);

}  // namespace kestrane
