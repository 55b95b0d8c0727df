// The GL enable-state cache, the texture-binding cache and the context's start-up defaults.
// Drawing code states what it needs here instead of calling glEnable and glBindTexture itself.
#pragma once

// The GL state every new context starts from (the shell's and the tests' alike).
// multisample: the pixel format has anti-aliasing samples.
void OGL_set_gl_defaults(int multisample);
