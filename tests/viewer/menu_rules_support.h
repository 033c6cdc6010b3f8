#pragma once
// A fresh record and status line for tests of the menu's entries, with the
// warnings they post kept in order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/status.h"

inline std::vector<std::string>& posted_warnings()
{
    static std::vector<std::string> warnings;
    return warnings;
}

class MenuEntryTest : public testing::Test {
protected:
    std::vector<std::string>& warnings = posted_warnings();
    void SetUp() override
    {
        app_state_init();
        status_reset();
        status_hooks.report = [](StatusKind kind, const char* text) {
            if (kind == StatusKind::Warning) posted_warnings().push_back(text);
        };
        warnings.clear();
    }
    void TearDown() override { status_reset(); }
};
