#include "viewer/menu_entries.h"
#include "viewer/menu_table.h"

using namespace kestrane;

// The rows of the menu bar; each list ends with an ITEM_END row.
const MenuItem menu_items[MENU_ROW_COUNT] = {
    // 0: main bar
    {ITEM_BUTTON, "File", 10, 60, 19, 6, nullptr, nullptr},
    {ITEM_BUTTON, "Scale", 80, 60, 13, 25, nullptr, nullptr},
    {ITEM_BUTTON, "Sampling", 150, 60, 5, 29, nullptr, nullptr},
    {ITEM_BUTTON, "Display", 220, 60, 9, 34, nullptr, nullptr},
    {ITEM_TOGGLE, "Help", 290, 60, 17, -1, render_help, apply_help},
    {ITEM_END, "", 0, 0, 0, -1, nullptr, nullptr},
    // 6: File
    {ITEM_BUTTON, "Open", 10, 60, 14, 10, nullptr, nullptr},
    {ITEM_BUTTON, "Save Surface", 80, 100, 11, 13, nullptr, nullptr},
    {ITEM_BUTTON, "Save Screen", 190, 100, 12, 21, nullptr, nullptr},
    {ITEM_END, "", 0, 0, 0, -1, nullptr, nullptr},
    // 10: File > Open
    {ITEM_FIELD, "Source:", 60, 140, -50, -1, render_source, apply_source},
    {ITEM_FIELD, "Target:", 260, 140, -47, -1, render_target, apply_target},
    {ITEM_END, "", 0, 0, 0, -1, nullptr, nullptr},
    // 13: File > Save Surface
    // Six formats in the 480 pixels of the narrowest window: short labels.
    {ITEM_FIELD, "Base name:", 85, 100, -75, -1, render_base_name, apply_base_name},
    {ITEM_TOGGLE, "VRML", 192, 44, 5, -1, render_as_vrml, apply_as_vrml},
    {ITEM_TOGGLE, "OOGL", 240, 44, 4, -1, render_as_oogl, apply_as_oogl},
    {ITEM_TOGGLE, "PLY", 288, 44, 11, -1, render_as_ply, apply_as_ply},
    {ITEM_TOGGLE, "OBJ", 336, 44, 10, -1, render_as_obj, apply_as_obj},
    {ITEM_TOGGLE, "STL", 384, 44, 11, -1, render_as_stl, apply_as_stl},
    {ITEM_TOGGLE, "glTF", 432, 44, 11, -1, render_as_gltf, apply_as_gltf},
    {ITEM_END, "", 0, 0, 0, -1, nullptr, nullptr},
    // 21: File > Save Screen
    {ITEM_FIELD, "File name:", 80, 140, -70, -1, render_file_name, apply_file_name},
    {ITEM_TOGGLE, "As BMP", 230, 70, 12, -1, render_as_bmp, apply_as_bmp},
    {ITEM_TOGGLE, "As PPM", 310, 70, 12, -1, render_as_ppm, apply_as_ppm},
    {ITEM_END, "", 0, 0, 0, -1, nullptr, nullptr},
    // 25: Scale
    {ITEM_TOGGLE, "Centres", 10, 60, 7, -1, render_centres, apply_centres},
    {ITEM_TOGGLE, "Sizes", 80, 60, 15, -1, render_sizes, apply_sizes},
    {ITEM_FIELD, "Transform:", 215, 240, -65, -1, render_transform, apply_transform},
    {ITEM_END, "", 0, 0, 0, -1, nullptr, nullptr},
    // 29: Sampling
    {ITEM_FIELD, "Points:", 50, 60, -40, -1, render_points, apply_points},
    {ITEM_FIELD, "Alias:", 160, 60, -35, -1, render_alias, apply_alias},
    {ITEM_FIELD, "Res:", 265, 60, -30, -1, render_res, apply_res},
    {ITEM_FIELD, "Frames:", 390, 60, -50, -1, render_frames, apply_frames},
    {ITEM_END, "", 0, 0, 0, -1, nullptr, nullptr},
    // 34: Display
    // Six entries in the 480 pixels of the narrowest window.
    {ITEM_TOGGLE, "Spheres", 10, 54, 4, -1, render_spheres, apply_spheres},
    {ITEM_TOGGLE, "Shadow", 70, 54, 3, -1, render_shadow, apply_shadow},
    {ITEM_TOGGLE, "Smooth", 130, 54, 5, -1, render_smooth, apply_smooth},
    {ITEM_TOGGLE, "Base", 190, 40, 5, -1, render_base, apply_base},
    {ITEM_TOGGLE, "Preview", 236, 54, 3, -1, render_preview, apply_preview},
    {ITEM_FIELD, "Background:", 372, 100, -75, -1, render_background, apply_background},
    {ITEM_END, "", 0, 0, 0, -1, nullptr, nullptr},
};
