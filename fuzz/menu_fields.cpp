// The menu's text fields, with nothing loaded: the first byte picks the
// field, the rest is the text typed into it; then every field and toggle
// renders its value. Source: and Target: are left out, since they open the
// file named.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "viewer/menu_table.h"
#include "app/app_state.h"
#include "app/status.h"

using namespace kestrane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static std::vector<const MenuItem*> fields;
    if (fields.empty())
        for (const MenuItem& item : menu_items)
            if (item.kind == ITEM_FIELD && std::strcmp(item.label, "Source:") != 0 &&
                std::strcmp(item.label, "Target:") != 0)
                fields.push_back(&item);
    if (size == 0) return 0;
    app_state_init();
    status_reset();
    // Several edits in a row: pieces separated by newlines, each led by its field.
    std::string rest(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    while (start < rest.size()) {
        size_t end = rest.find('\n', start);
        if (end == std::string::npos) end = rest.size();
        if (end > start) {
            const MenuItem* field = fields[static_cast<unsigned char>(rest[start]) % fields.size()];
            const std::string text = rest.substr(start + 1, end - start - 1);
            field->apply(text.c_str());
        }
        start = end + 1;
    }
    for (const MenuItem& item : menu_items)
        if (item.render) item.render();
    release_volumes();
    status_reset();
    return 0;
}
