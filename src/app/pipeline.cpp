#include "app/pipeline.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <thread>

#include "app/analysis.h"
#include "app/morph_status.h"
#include "morph/load_memory.h"
#include "app/app_state.h"
#include "app/status.h"
#include "input/file_kind.h"
#include "input/mesh_import.h"
#include "input/off_reader.h"
#include "input/scan_convert.h"
#include "input/volume_sizing.h"

using namespace kestrane;

PipelineHooks pipeline_hooks;


namespace {

// The status line's warning for a load that failed, as the programs have
// always worded it.
const char* load_warning(const Result& r)
{
    const bool source = r.side != 1;
    switch (r.problem) {
    case Problem::CannotOpen:
        return source ? "Not able to open source input file" : "Not able to open target input file";
    case Problem::GridTooLarge:
        return "Not enough memory for source data";
    case Problem::NotEnoughMemory:
        return source ? "Not enough memory for source data" : "Not enough memory for target data";
    case Problem::ConversionFailed:
        return source ? "Couldn't scan convert source data" : "Couldn't scan convert target data";
    case Problem::Cancelled:
        return "Load cancelled";
    default:
        return "Couldn't understand file formats";
    }
}

bool load_failed(const Result& r)
{
    return r.problem == Problem::Cancelled || r.stage == Stage::Sizing || r.stage == Stage::Reading ||
           r.stage == Stage::Converting;
}

int fail_load(const Result& r)
{
    LoadFailure failure;
    failure.warning = load_warning(r);
    failure.detail = r.reason;
    if (pipeline_hooks.load_failed)
        pipeline_hooks.load_failed(failure);
    else
        show_warning("%s", failure.warning);
    return 1;
}

}  // namespace

int run_pipeline()
{
    if (app.source_path.empty() || app.target_path.empty()) return PIPELINE_NOT_RUN;
    // Work reading the old volumes (a sequence being generated) stops first.
    stop_background_work();
    release_volumes();
    app.morpher.set_observer(pipeline_hooks.observer ? pipeline_hooks.observer : &status_line_observer());
    const Result loaded = app.morpher.load(Surface::file(app.source_path), Surface::file(app.target_path));
    if (loaded) return PIPELINE_DONE;
    if (load_failed(loaded)) {
        fail_load(loaded);
        return PIPELINE_LOAD_FAILED;
    }
    // The reason first (a console's line, the viewer's standard error), then
    // the status line's fatal message.
    if (pipeline_hooks.analysis_failed && !loaded.reason.empty()) pipeline_hooks.analysis_failed(loaded.reason);
    show_error("Couldn't construct the isosurface.");
    return PIPELINE_ANALYSIS_FAILED;
}
