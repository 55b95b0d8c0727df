// Test double of the widget kit's focus: counts the calls.
#pragma once

int widgets_double_unfocus_calls();
void widgets_double_reset();
