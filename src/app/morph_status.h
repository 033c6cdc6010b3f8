#pragma once
// The programs' words for the morph library's events: each progress event
// and warning as the line the status line (and so the batch console) shows.
#include <string>

#include "morph/morph_events.h"

using namespace kestrane;

// The status line's text for a progress event; empty for none.
std::string progress_text(const ProgressEvent& event);

// Posts every event and warning of the morph to the status line.
class StatusLineObserver : public MorphObserver {
public:
    void progress(const ProgressEvent& event) override;
    void report(const Report& report) override;
    void waiting() override;
};

// The one the programs install on app.morpher.
StatusLineObserver& status_line_observer();
