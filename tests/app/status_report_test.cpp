// The status line holds 120 characters; a reporter (the batch tool's
// console) gets every message whole, so that a long file name never hides
// the reason after it.
#include "app/status.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

std::vector<std::pair<StatusKind, std::string>> heard;

void hear(StatusKind kind, const char* text) { heard.emplace_back(kind, text); }

TEST(StatusReport, ReportersGetWholeMessagesTheLineItsFirst120Characters)
{
    status_reset();
    status_hooks.report = hear;
    heard.clear();
    const std::string name(250, 'n');
    show_info("Saving surface to `%s'", name.c_str());
    show_warning("Could not write `%s' - file output is off", name.c_str());
    show_error("Could not write `%s': %s", name.c_str(), "File name too long");
    ASSERT_EQ(heard.size(), 3u);
    EXPECT_EQ(heard[0], std::make_pair(StatusKind::Info, "Saving surface to `" + name + "'"));
    EXPECT_EQ(heard[1], std::make_pair(StatusKind::Warning, "Could not write `" + name + "' - file output is off"));
    EXPECT_EQ(heard[2], std::make_pair(StatusKind::Error, "Could not write `" + name + "': File name too long"));
    EXPECT_EQ(std::string(status_line.notice_text), heard[2].second.substr(0, 120));
    // Exactly 120 and short ones are the same text both ways.
    const std::string fits(120, 'f');
    show_error("%s", fits.c_str());
    EXPECT_EQ(heard.back().second, fits);
    EXPECT_EQ(std::string(status_line.notice_text), fits);
    show_error("short %i", 7);
    EXPECT_EQ(heard.back().second, "short 7");
    EXPECT_STREQ(status_line.notice_text, "short 7");
    status_reset();
}

}  // namespace
