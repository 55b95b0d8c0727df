// The keyboard focus of the widgets.
#pragma once

// Drops the keyboard focus: no widget keeps it.
void BTN_unfocus_any();
