// The command line of both programs: the input is the argument list, one
// argument per NUL-separated piece. The help option ends the process by
// design, so inputs asking for it are skipped.
#include <cstdint>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/app_state.h"

using namespace kestrane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> pieces{"kestrane"};
    std::string piece;
    for (size_t i = 0; i < size && pieces.size() < 64; ++i) {
        if (data[i] == '\0') {
            pieces.push_back(piece);
            piece.clear();
        } else {
            piece.push_back(static_cast<char>(data[i]));
        }
    }
    if (size > 0) pieces.push_back(piece);
    std::vector<char*> argv;
    for (std::string& p : pieces) {
        if (p.size() >= 2 && p[0] == '-' && (p[1] == 'h' || p[1] == 'H' || p[1] == '?')) return 0;
        argv.push_back(&p[0]);
    }
    argv.push_back(nullptr);
    parse_command_line(static_cast<int>(pieces.size()), argv.data());
    release_volumes();
    return 0;
}
