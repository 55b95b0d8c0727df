// The shader manager's entry point: the remote command "Reload Pixel Shaders...".
#pragma once

// Reloads every GLSL program from its files. The installer builds no shader, so there is
// nothing to reload.
void do_reload();
