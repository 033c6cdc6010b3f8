#pragma once

// Extracts the inscribed spheres of volume v. Returns 0 (also after an
// overflow that switched to quick morphing), 1 no memory for candidates,
// 2 no memory for the sphere list, 3 no sphere found, 4 no memory for shifts.
int extract_spheres(int v);
