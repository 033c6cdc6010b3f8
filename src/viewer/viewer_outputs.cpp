#include "viewer/viewer_outputs.h"

#include "app/frame_driver.h"

void build_end_surface_mesh(int frame, SurfaceMesh* mesh) { build_frame(frame, mesh, FAILURES_KEEP_RUNNING); }

void save_sphere_file(int side) { write_sphere_file(side, FAILURES_KEEP_RUNNING); }
