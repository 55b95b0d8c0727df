// Widget kit layer (widgets/).
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

// Sliders. The vertical one is a scroll bar over min (top) to max (bottom) with arrows, paging
// and a thumb; id 0 to 3 keeps its drag apart from the others'. 1 while its thumb is grabbed.
int BTN_vert_slider(int id, float x, float y_bottom, float y_top, int min, int max, int* value);
// A float slider from x to x + w; fill_colour 12 draws no fill, enabled 0 shows the value only.
// 1 in a frame in which the mouse set the value.
int BTN_horz_slider(float x, float y, float w, int fill_colour, float min, float max, float* value, int enabled,
                    std::string label, std::string caption);

// Number fields edited digit by digit: a row of 10-unit cells from x, baseline y. 1 when a key or
// a click changed the value in this call; every call pulls the value into [min, max] and rounds
// it to the decimals shown.
int BTN_flt_range(float x, float y, float* value, int digits, int decimals, float min, float max, std::string label);
int BTN_flt(float x, float y, float* value, int digits, int decimals, int allow_negative, std::string label);
int BTN_dob_range(float x, float y, double* value, int digits, int decimals, float min, float max,
                  std::string label);
int BTN_int_range(float x, float y, int* value, int digits, float min, float max, std::string label);
int BTN_int(float x, float y, int* value, int digits, int allow_negative, std::string label);
// On a grid of 75-unit columns and 50-unit rows: the row ends at 75 (i + 1), baseline 50 j + 25.
int BTN_fltij(float i, float j, float* value, int digits, int decimals, int allow_negative, std::string label);
int BTN_flt_rangeij(float i, float j, float* value, int digits, int decimals, float min, float max,
                    std::string label);
// len cells of text (no terminator) holding capitals, digits, '-' or spaces.
void BTN_chars(float x, float y, char* text, int len, std::string label);
// Two rows of degrees and minutes for *lon and *lat; *y goes down by 100. 1 when a field changed.
int enter_lat_lon(float* x, float* y, float* lon, float* lat);

// The pop-up list: items separated by '-', *value the current one. 1 in the call that takes the
// user's choice.
int BTN_textlist(float x, float y, int* value, std::string items, std::string label);
// The scrolling list of rows first..last with type-ahead; search, when not null, is edited in a
// field under it. 1 when a click in it was a double click.
extern float io_dx, io_dy;
int BTN_list_and_search(int slider_id, float x, float y, float w, float h, int* scroll, int* selection, int first,
                        int last, std::string* search, const std::string& label,
                        std::string (*get_text)(int, void*), void* text_ref, std::string (*get_text2)(int, void*),
                        void* text2_ref, int (*get_kind)(int, void*), void* kind_ref);

// The modal open (998) and save (999) dialog over a folder relative to the working folder. 1 with
// *path set to the chosen file or the name given; 0 when cancelled.
int BTN_opensave(int which, int file_type, std::string* path);
// The dialog's background and, for 998, the preview of the file at path.
void stand_io_dialog(int which, int file_type, std::string path);

// A path field with a folder button that opens the desktop's folder chooser. 1 in the frame in
// which the chooser gave a folder. Types 20 and 21 show the whole path, others its leaf.
int BTN_select_path_stl(float x, float y, int which, int file_type, std::string* path, int max_len,
                        std::string label, float width, int take_focus);
int BTN_select_path_chr(float x, float y, int which, int file_type, char* path, int max_len, std::string label,
                        float width, int take_focus);
// The path made of folder's parent and name; a chosen folder becomes folder, its leaf name.
int BTN_select_file_chr(float x, float y, int which, int file_type, char* name, std::string* folder, int max_len,
                        std::string label, float width);

// Path rules of the dialog and the pickers. The leaf: the last component with its trailing '/'
// when p ends with one, else the text after the last '/'. The parent: p without its leaf.
std::string BTN_path_leaf(const std::string& p);
std::string BTN_path_parent(const std::string& p);
