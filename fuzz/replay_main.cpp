// Feeds files to a fuzz target without libFuzzer, for the test run: every
// file named, every file in a directory named, and with --prefixes every
// prefix of the files that follow. A target that fails aborts, and so does
// this program.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::string contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void feed(const std::string& bytes) { LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()); }

bool is_directory(const std::string& path)
{
    struct stat s;
    return stat(path.c_str(), &s) == 0 && S_ISDIR(s.st_mode);
}

std::vector<std::string> files_of(const std::string& path)
{
    if (!is_directory(path)) return {path};
    std::vector<std::string> out;
    if (DIR* d = opendir(path.c_str())) {
        while (const dirent* e = readdir(d))
            if (e->d_name[0] != '.') out.push_back(path + "/" + e->d_name);
        closedir(d);
    }
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    bool prefixes = false;
    long inputs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--prefixes") {
            prefixes = true;
            continue;
        }
        for (const std::string& file : files_of(arg)) {
            const std::string bytes = contents(file);
            if (prefixes) {
                for (size_t n = 0; n < bytes.size(); ++n, ++inputs) feed(bytes.substr(0, n));
            }
            feed(bytes);
            ++inputs;
        }
    }
    std::printf("%ld inputs replayed\n", inputs);
    return 0;
}
