#pragma once
// The preview of the morph (viewer/preview.h), drawn beside the two
// surfaces in automatic correspondence mode.

// Takes a newly built preview frame into its display list and draws the
// list; with the preview off, deletes the list and draws nothing.
void draw_preview();
