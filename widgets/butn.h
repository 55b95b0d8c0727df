// The immediate-mode widgets: called every frame with a position (window units relative to the
// current sub-window, y up), they draw from the interface atlas, test this frame's mouse press
// and return 1 when the user acted on them. Labels read "left|right{help".
#pragma once

#include <string>

// Labels.
void BTN_expand_label(const std::string& label, std::string& left, std::string& right, std::string& help);
// align 0: the text ends at x; 1: centred on x; 2: starts at x. Long labels break in two.
void BTN_util_draw_label(float x, float y, int align, const std::string& label, int highlight);

// Atlas pieces: one sprite (half sizes), and frames stretched from three or nine slices.
void BTN_util_element(float x, float y, float u, float v, float half_w, float half_h, int colour);
void BTN_frame0(int style, float x, float y, float h);
void BTN_frame1(int style, float x, float y, float w, int colour);
void BTN_frame2(int style, float x, float y, float w, float h, std::string title);

// Windows and panels.
// The sub-windows that the shell closes by their title-strip boxes or Return.
bool BTN_window_has_close_boxes(int window_id);
void BTN_fillwin(int titled, int inner_style);
void BTN_subwin(float reserve_h, int style, float x, float y, float w, float h, std::string title, float* next_x,
                float* next_y);
int BTN_zap_boxes(int alt);
int BTN_tab(int column, int row, int* current, int this_tab, std::string label);
void plot_dir(float x, float y, float* heading, int look);

// Buttons, check boxes, radio buttons.
int BTN_action(float x, float y, float w, int lit, int mode, std::string label, std::string side_text);
int BTN_bool(float x, float y, int* value, std::string label, int radio);
int BTN_xbol(float x, float y, bool* value, std::string label);
int BTN_xchr(float x, float y, char* value, std::string label);
int BTN_xbyt(float x, float y, unsigned char* value, std::string label);
int BTN_is_int(float x, float y, int* value, int this_value, std::string label);
void BTN_display_number(float x, float y, float number, int digits, int decimals, const std::string& label);

// Text in a text-field frame centred on x, the label's parts beside it.
void OGL_boxed_string(float x, float y, const std::string& label, const std::string& text, int font, int color);

// The single-line text field: 1 when the text changed in this call. want_focus asks for the
// keyboard focus when nothing holds it.
int BTN_enterstring(float x, float y, std::string* value, int max_len, std::string label, float width,
                    int want_focus);
// The same over a char array with room for max_len characters and the terminator.
int BTN_enterstring(float x, float y, char* value, int max_len, std::string label, float width, int want_focus);
