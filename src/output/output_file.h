#pragma once
// Opening output files and the text every VRML file shares.
#include <cstdio>
#include <string>

// Opens `name` for writing and says "Saving <what> to `<name>'" on the status
// line; null, with nothing said, when it cannot be opened.
std::FILE* open_output_file(const std::string& name, const char* what);

// The text every VRML file written starts with.
void write_vrml_header(std::FILE* f);
// The material of the VRML files, written around their diffuse colours:
// the start opens it, the end closes it.
void write_vrml_material_start(std::FILE* f);
void write_vrml_material_end(std::FILE* f);
