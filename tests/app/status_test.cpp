#include "app/status.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>


namespace {

int redraws = 0;
int fatal_calls = 0;
int cancels = 0;
std::vector<std::string> reported;

void count_redraw() { ++redraws; }
void count_fatal() { ++fatal_calls; }
void count_cancel() { ++cancels; }
void record(StatusKind, const char* text) { reported.push_back(text); }

class StatusTest : public testing::Test {
protected:
    void SetUp() override
    {
        status_reset();
        status_hooks.redraw = count_redraw;
        status_hooks.on_fatal = count_fatal;
        status_hooks.report = record;
        redraws = fatal_calls = cancels = 0;
        reported.clear();
    }
    void TearDown() override { status_reset(); }
};

TEST_F(StatusTest, InfoIsDroppedWhileWarningShows)
{
    show_info("before");
    show_warning("careful %d", 1);
    EXPECT_EQ(status_line.status_state, STATUS_WARNING);
    EXPECT_STREQ(status_line.notice_text, "careful 1");
    show_info("during");
    EXPECT_STREQ(status_line.info_text, "before");
    status_acknowledge();
    EXPECT_EQ(status_line.status_state, STATUS_INFO);
    EXPECT_STREQ(status_line.info_text, "before");
    // The reporter still sees every message (the console has no OK button).
    EXPECT_EQ(reported, (std::vector<std::string>{"before", "careful 1", "during"}));
}

TEST_F(StatusTest, TextsAreCutTo120Characters)
{
    std::string long_text(300, 'a');
    show_info("%s", long_text.c_str());
    EXPECT_EQ(std::string(status_line.info_text), std::string(120, 'a'));
    show_error("%s", long_text.c_str());
    EXPECT_EQ(std::string(status_line.notice_text), std::string(120, 'a'));
}

TEST_F(StatusTest, ProgressKeepsItsButtonAndCancels)
{
    show_progress(count_cancel);
    EXPECT_EQ(status_line.status_state, STATUS_PROGRESS);
    show_info("Frame 1 of 4");
    EXPECT_EQ(status_line.status_state, STATUS_PROGRESS);
    status_acknowledge();
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(status_line.status_state, STATUS_INFO);
    EXPECT_EQ(status_line.cancel_action, nullptr);
}

TEST_F(StatusTest, WarningDuringProgressDropsTheCancelWithoutCallingIt)
{
    show_progress(count_cancel);
    status_line.button_pressed = true;
    show_warning("Not able to open source input file");
    EXPECT_EQ(cancels, 0);
    EXPECT_EQ(status_line.cancel_action, nullptr);
    EXPECT_EQ(status_line.status_state, STATUS_WARNING);
    EXPECT_FALSE(status_line.button_pressed);
}

TEST_F(StatusTest, EndProgressReturnsToInfoWithoutRedraw)
{
    show_progress(count_cancel);
    int before = redraws;
    end_progress();
    EXPECT_EQ(status_line.status_state, STATUS_INFO);
    EXPECT_EQ(redraws, before);
    EXPECT_EQ(cancels, 0);
    show_warning("w");
    end_progress();  // only a progress state is ended
    EXPECT_EQ(status_line.status_state, STATUS_WARNING);
}

TEST_F(StatusTest, FatalIsFinalExceptForAnotherFatal)
{
    show_error("Couldn't construct the isosurface.");
    EXPECT_EQ(fatal_calls, 1);
    show_info("x");
    show_warning("y");
    show_progress(count_cancel);
    EXPECT_EQ(status_line.status_state, STATUS_FATAL);
    EXPECT_STREQ(status_line.notice_text, "Couldn't construct the isosurface.");
    show_error("second");
    EXPECT_STREQ(status_line.notice_text, "second");
}

int quits = 0;
void count_quit() { ++quits; }

TEST_F(StatusTest, AcknowledgingTheFatalStateQuits)
{
    show_error("fatal");
    status_hooks.quit = count_quit;
    status_acknowledge();
    EXPECT_EQ(quits, 1);
}

}  // namespace
