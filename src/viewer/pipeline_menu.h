#pragma once
// The viewer's loads: the bookkeeping of its mode, sequence and display
// lists around the programs' pipeline, and the menu entries that change a
// load's parameters and load again.

// The display lists of the drawing layer, discarded before a load and built
// after a successful one; installed by the drawing layer.
struct ViewerListHooks {
    void (*discard_lists)() = nullptr;
    void (*build_lists)() = nullptr;
};
extern ViewerListHooks viewer_list_hooks;

// Loads both files of the record as the viewer does: the sequence stops,
// the lists go, nothing is loaded while it runs, and manual correspondence
// follows a successful load. Returns a PipelineOutcome; an empty file name
// changes nothing.
int viewer_load();
// Stops the load under way (Cancel, Escape).
void cancel_load();

// Menu-facing variants: each changes its parameter by the menu's rules and
// runs the pipeline (Source: and Target: only when the file can be opened).
void pipeline_set_source(const char* name);
void pipeline_set_target(const char* name);
void pipeline_set_alias(const char* text);
void pipeline_set_points(const char* text);
void pipeline_toggle_centres();
void pipeline_toggle_sizes();
// Loads both files again (at a new resolution, say) and keeps the manual
// vectors, moved with the grid's centre. False when the load failed.
bool pipeline_reload_keeping_vectors();
void pipeline_set_transform(const char* text);
