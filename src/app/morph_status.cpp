#include "app/morph_status.h"

#include <cstdio>

#include "app/app_state.h"
#include "app/status.h"
#include "morph/morph_cost.h"

std::string progress_text(const ProgressEvent& e)
{
    char text[512];
    const char* side = e.side == 0 ? "source" : "target";
    switch (e.stage) {
    case Stage::Reading:
        return "Reading `" + e.item + "' as " + e.format;
    case Stage::Sizing:
        if (!e.finished) return "Calculating size of volumes";
        std::snprintf(text, sizeof text, "Interpolated volume is %hu by %hu by %hu voxels.\n",
                      static_cast<unsigned short>(app.volume_dims[0]), static_cast<unsigned short>(app.volume_dims[1]),
                      static_cast<unsigned short>(app.volume_dims[2]));
        if (app.voxel_size > 0) {
            // The grid came from a voxel size: say what it costs before the work.
            const LoadCost cost = load_cost(app.morph);
            char more[256];
            std::snprintf(more, sizeof more,
                          "Voxel edge %g (the source's units): the load holds about %.0f MB and takes %s.\n", app.voxel_size,
                          static_cast<double>(cost.bytes) / 1e6, rough_duration(cost.seconds).c_str());
            return text + std::string(more);
        }
        return text;
    case Stage::Converting:
        if (e.finished) return std::string();  // the count is told already
        std::snprintf(text, sizeof text, "', polygon %li of %li", e.done, e.total);
        return "Sampling `" + e.item + text;
    case Stage::Transforming:
        return std::string("Performing distance transform on ") + side + " volume";
    case Stage::Extracting:
        return std::string("Performing sphere extraction on ") + side + " volume";
    case Stage::Linking:
    case Stage::Frame:
        return std::string();
    }
    return std::string();
}

void StatusLineObserver::progress(const ProgressEvent& event)
{
    const std::string text = progress_text(event);
    if (!text.empty()) show_info("%s", text.c_str());
}

void StatusLineObserver::report(const Report& report)
{
    if (report.severity == Severity::Warning)
        show_warning("%s", report.reason.c_str());
    else
        show_error("%s", report.reason.c_str());
}

void StatusLineObserver::waiting()
{
    if (status_hooks.pump) status_hooks.pump();
}

StatusLineObserver& status_line_observer()
{
    static StatusLineObserver observer;
    return observer;
}
