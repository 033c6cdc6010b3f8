#pragma once
// The batch tool's options from a command line written as strings.
#include <string>
#include <vector>

#include "batch/batch_options.h"

// The strings are kept until the next call, as argv would be.
inline BatchOptions take(std::vector<std::string> args)
{
    static std::vector<std::string> kept;
    kept = std::move(args);
    static std::vector<char*> argv;
    argv.clear();
    for (std::string& a : kept) argv.push_back(a.data());
    return take_batch_options(static_cast<int>(argv.size()), argv.data());
}
