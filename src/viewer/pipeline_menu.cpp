#include "viewer/pipeline_menu.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/pipeline.h"
#include "viewer/sequence.h"
#include "viewer/view_state.h"
#include "app/app_state.h"
#include "app/status.h"
#include "app/transform_check.h"

using namespace kestrane;

ViewerListHooks viewer_list_hooks;

void cancel_load() { app.load_cancel = true; }

int viewer_load()
{
    view.first_idle = false;
    if (app.source_path.empty() || app.target_path.empty()) return PIPELINE_NOT_RUN;
    stop_sequence();
    if (viewer_list_hooks.discard_lists) viewer_list_hooks.discard_lists();
    view.frames_built = 0;
    view.mode = MODE_NOTHING_LOADED;
    // While the files are read the window stays live (status_hooks.pump)
    // and its Cancel, or Escape, stops the load.
    app.load_cancel = false;
    view.loading = true;
    show_progress(cancel_load);
    const int outcome = run_pipeline();
    view.loading = false;
    if (status_line.status_state == STATUS_PROGRESS) end_progress();
    if (outcome != PIPELINE_DONE) return outcome;
    if (viewer_list_hooks.build_lists) viewer_list_hooks.build_lists();
    view.mode = MODE_MANUAL;
    return outcome;
}

namespace {

bool can_open(const char* name)
{
    if (!name || name[0] == '\0' || std::strlen(name) >= static_cast<size_t>(PATH_CAPACITY)) return false;
    std::FILE* f = std::fopen(name, "r");
    if (!f) return false;
    std::fclose(f);
    return true;
}

// A new input surface reloads both; one that cannot be opened is refused.
void set_input(const char* name, std::string& path, const char* refusal)
{
    if (!can_open(name)) {
        show_warning("%s", refusal);
        return;
    }
    path = name;
    viewer_load();
}

}  // namespace

void pipeline_set_source(const char* name)
{
    set_input(name, app.source_path, "Not able to open source input file");
}

void pipeline_set_target(const char* name)
{
    set_input(name, app.target_path, "Not able to open target input file");
}

void pipeline_set_alias(const char* text)
{
    double value = std::atof(text);
    if (value > 10.0) {
        app.antialias_distance = 10.0;
        app.antialias = true;
        show_warning("Maximum antialiasing distance is 10.0");
    } else if (value > 1.0) {
        app.antialias_distance = value;
        app.antialias = true;
    } else {  // also a text that is not a number
        app.antialias_distance = 0.0;
        app.antialias = false;
        show_warning("Less than 1.1 - antialiasing disabled");
    }
    viewer_load();
}

void pipeline_set_points(const char* text)
{
    // Read into 16 bits first: a negative entry, or one beyond 16 bits
    // (65556 must not wrap to 20), is brought down to the upper bound.
    const long entered = std::strtol(text, nullptr, 10);
    uint16_t value = entered < 0 || entered > 65535 ? 65535 : static_cast<uint16_t>(entered);
    if (value < 10) {
        value = 10;
        show_warning("Must have at least 10 points");
    } else if (value > 500) {
        value = 500;
        show_warning("Must be at most 500 points");
    }
    app.min_points = value;
    app.voxel_size = 0;  // the points entered now set the grid, not -d
    viewer_load();
}

void pipeline_toggle_centres()
{
    reset_transform();
    if (app.scale_centres) {
        app.scale_centres = false;
        app.scale_sizes = false;
    } else {
        app.scale_centres = true;
    }
    viewer_load();
}

void pipeline_toggle_sizes()
{
    reset_transform();
    if (app.scale_sizes) {
        app.scale_sizes = false;
    } else {
        app.scale_sizes = true;
        app.scale_centres = true;
    }
    viewer_load();
}

void pipeline_set_transform(const char* text)
{
    int read = parse_transform(text, app.transform);
    const bool usable = read >= 16 && transform_usable(app.transform);
    if (!usable) {
        // A NaN, an infinity or a flattening matrix would place the source nowhere.
        if (read < 16) show_warning("Must have 16 comma separated entries");
        else show_warning("Must be finite and invertible");
        reset_transform();
        app.scale_centres = true;
        app.scale_sizes = true;
    }
    viewer_load();
}

bool pipeline_reload_keeping_vectors()
{
    std::vector<CorrespondenceVector> vectors = app.vectors;
    double old_centre[3];
    for (int a = 0; a < 3; ++a) old_centre[a] = (app.volume_dims[a] - 1) * 0.5;
    if (viewer_load() != PIPELINE_DONE) return false;
    // Each surface lands on the grid's centre, so the vectors move with it.
    for (CorrespondenceVector& v : vectors)
        for (int a = 0; a < 3; ++a) {
            const double shift = (app.volume_dims[a] - 1) * 0.5 - old_centre[a];
            v.start[a] += shift;
            v.end[a] += shift;
        }
    app.vectors = std::move(vectors);
    return true;
}
