#include "output/output_file.h"

#include "base/status.h"

std::FILE* open_output_file(const std::string& name, const char* what)
{
    std::FILE* file = std::fopen(name.c_str(), "w");
    if (file) show_info("Saving %s to `%s'", what, name.c_str());
    return file;
}

void write_vrml_header(std::FILE* f) { std::fputs("#VRML V1.0 ascii\nSeparator {\n", f); }

void write_vrml_material_start(std::FILE* f)
{
    std::fputs(" Material {\n", f);
    std::fputs("  ambientColor 0.2 0.2 0.2\n", f);
}

void write_vrml_material_end(std::FILE* f)
{
    std::fputs("  specularColor 0.1 0.1 0.1\n", f);
    std::fputs("  emissiveColor 0 0 0\n", f);
    std::fputs("  shininess     0.2\n", f);
    std::fputs("  transparency  0\n", f);
    std::fputs(" }\n", f);
}
