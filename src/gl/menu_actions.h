#pragma once

// Installs the GL side of the menu entries (shading, list rebuilds, sequence
// restarts) as the entries' hooks.
void install_menu_actions();
