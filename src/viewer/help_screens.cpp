#include "viewer/help_screens.h"


namespace {

const HelpRow nothing_loaded[HELP_ROW_COUNT] = {
    {"", ""},
    {"", ""},
    {"", ""},
    {"left button", "rotate scene"},
    {"middle button", "rotate scene horizontal"},
    {"right button", "zoom"},
    {"", ""},
    {"<ctrl> + left", "rotate light"},
    {"<ctrl> + right", "zoom light"},
    {"", ""},
    {"<space>", "toggle screen dump"},
    {"", ""},
    {"", ""},
};

const HelpRow manual_correspondence[HELP_ROW_COUNT] = {
    {"", ""},
    {"", ""},
    {"", ""},
    {"left button", "rotate scene / define vector"},
    {"middle button", "rotate scene horizontal"},
    {"right button", "zoom / delete vector"},
    {"<shift> + left", "rotate object"},
    {"<ctrl> + left", "rotate light"},
    {"<ctrl> + right", "zoom light"},
    {"", ""},
    {"<space>", "toggle screen dump"},
    {"", ""},
    {"<enter>", "to automatic correspondence"},
};

const HelpRow automatic_correspondence[HELP_ROW_COUNT] = {
    {"`+'/`-'", "change number of spheres"},
    {"`>'/`<'", "change connectivity range"},
    {"p / `['/`]'", "preview / earlier, later"},
    {"left button", "rotate scene"},
    {"middle button", "rotate scene horizontal"},
    {"right button", "zoom / delete vector"},
    {"<shift> + left", "rotate object"},
    {"<ctrl> + left", "rotate light"},
    {"<ctrl> + right", "zoom light"},
    {"", ""},
    {"<space>", "toggle screen dump"},
    {"<bspace>", "to manual correspondence"},
    {"<enter>", "generate morphing sequence"},
};

const HelpRow sequence[HELP_ROW_COUNT] = {
    {"", ""},
    {"`+'/`-'", "increase / decrease rate"},
    {"", ""},
    {"left button", "rotate scene vertical"},
    {"middle button", "rotate scene horizontal"},
    {"right button", "zoom / delete vector"},
    {"<shift> + left", "rotate object"},
    {"<ctrl> + left", "rotate light"},
    {"<ctrl> + right", "zoom light"},
    {"", ""},
    {"<space>", "toggle screen dump"},
    {"<bspace>", "to automatic correspondence"},
    {"", ""},
};

}  // namespace

const HelpRow* help_table(int32_t mode)
{
    switch (mode) {
    case -1: return nothing_loaded;
    case 0: return manual_correspondence;
    case 1: return automatic_correspondence;
    case 2: return sequence;
    default: return nullptr;
    }
}
