#include "shell/dialogs.h"

#include <sys/stat.h>

#include <algorithm>

#include "core/alert.h"
#include "core/globals.h"
#include "core/localisation.h"
#include "core/strings.h"
#include "core/window_state.h"
#include "graphics/builtin_images.h"
#include "graphics/text_layout.h"
#include "platform/plat_dialogs.h"
#include "platform/plat_paths.h"
#include "platform/plat_window.h"

namespace {
// What the old dialogs held of a text: one length byte's worth.
constexpr size_t kDialogText = 255;

std::string cut(const std::string& text) { return utf8_prefix(text, kDialogText); }
std::string cut(const char* text) { return cut(std::string(text ? text : "")); }

bool is_folder(const char* path) {
    struct stat st;
    return path && *path && stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

// What the dialog gave is there to be used: the folder, the file to open, the folder to save in.
bool chosen_exists(int mode, const std::string& chosen) {
    struct stat st;
    if (mode == plat::choose_folder) return is_folder(chosen.c_str());
    if (mode == plat::choose_save) return is_folder(plat::parent_of(chosen).c_str());
    return stat(chosen.c_str(), &st) == 0;
}
}  // namespace

int GetFilePathFromUser(int mode, const std::string& message, const std::string&, int,
                        const char* start_folder, std::string& path) {
    if (mode < plat::choose_open || mode > plat::choose_folder) return 0;
    std::string initial;
    if (is_folder(start_folder)) {
        initial = start_folder;
        if (initial.back() != '/') initial += '/';
    }
    if (mode == plat::choose_save) initial += path;
    std::string chosen, why;
    plat::choose_result r = plat::choose_path(mode, cut(message), initial, &chosen, &why);
    if (r == plat::choose_failed) {
        xer << "The file dialog could not be shown: " << why << "\n";
        xer.flush();
        // Otherwise the button that opens the dialog would just seem to do nothing.
        __MACIBM_alert(mnw.curwin,
                       UTL_translate_string(mode == plat::choose_folder ? "The folder dialog could not be shown."
                                                                        : "The file dialog could not be shown."),
                       why, UTL_translate_string("Please check that zenity is installed and works."), "", t_alert,
                       __FILE__, __LINE__);
    }
    if (r != plat::choose_chosen) return 0;
    // A path the dialog mangled (characters its locale lacks, turned into '?') names nothing: used
    // as it stands, an install would make that folder and leave the chosen one empty.
    if (!chosen_exists(mode, chosen)) {
        xer << "The file dialog gave a path that does not exist: " << chosen << "\n";
        xer.flush();
        __MACIBM_alert(
            mnw.curwin,
            UTL_translate_string(mode == plat::choose_folder ? "The folder you picked could not be found:"
                                                             : "The file you picked could not be found:"),
            chosen, UTL_translate_string("Please pick it again."), "", t_alert, __FILE__, __LINE__);
        return 0;
    }
    path = chosen;
    return 1;
}

void event_proc(long, void*, void*) {}

void DoUserAlert(const char* text) { plat::stop_alert(cut(text), ""); }

bool ConfirmMessage(const char* message, const char* ok_label, const char* cancel_label) {
    return plat::confirm_alert(cut(message), cut(ok_label), cut(cancel_label));
}

int progress_bar_value(float fraction) {
    if (!(fraction >= 0)) return -1;
    if (fraction > 1) fraction = 1;
    return static_cast<int>(fraction * 1000.0f);
}

namespace {
// The picture, RGBA rows from the top, drawn with y measured from the top as the window has it.
class picture {
public:
    picture() : px_(static_cast<size_t>(progress_width) * progress_height * 4) {}
    void fill(int x0, int y0, int x1, int y1, const uint8_t (&c)[3]) {
        for (int y = std::max(y0, 0); y < std::min(y1, progress_height); ++y)
            for (int x = std::max(x0, 0); x < std::min(x1, progress_width); ++x) blend(x, y, c, 255);
    }
    void blend(int x, int y, const uint8_t (&c)[3], int alpha) {
        uint8_t* p = &px_[(static_cast<size_t>(y) * progress_width + static_cast<size_t>(x)) * 4];
        for (int i = 0; i < 3; ++i) p[i] = static_cast<uint8_t>((p[i] * (255 - alpha) + c[i] * alpha) / 255);
        p[3] = 255;
    }
    // One line of font-100 glyphs from the interface atlas, baseline at `baseline` from the top;
    // what would pass `right` or `bottom` is left out.
    void text(int x, int baseline, int right, int bottom, const std::string& line, const uint8_t (&c)[3]) {
        for (const line_glyph& g : OGL_line_layout(line, static_cast<float>(x), 0, 0)) {
            const glyph_cell cell = OGL_glyph_cell(g.code);
            for (int row = 0; row < glyph_cell_h; ++row) {
                // Atlas rows run bottom first; the cell's bottom row sits 4 below the baseline.
                const int y = baseline + 4 - row;
                if (y < 0 || y >= bottom) continue;
                for (int col = 0; col < glyph_cell_w; ++col) {
                    const int gx = static_cast<int>(g.x) + col;
                    if (gx < 0 || gx >= right) continue;
                    const size_t at = (static_cast<size_t>(cell.row * glyph_cell_h + row) * 512 +
                                       static_cast<size_t>(cell.col * glyph_cell_w + col)) * 4;
                    if (const int a = g_tex_interface[at + 3]) blend(gx, y, c, a);
                }
            }
        }
    }
    std::vector<uint8_t> take() { return std::move(px_); }

private:
    std::vector<uint8_t> px_;
};

constexpr uint8_t kWindow[3] = {232, 232, 232}, kInk[3] = {0, 0, 0}, kTrackEdge[3] = {128, 128, 128},
                  kTrack[3] = {250, 250, 250}, kDone[3] = {56, 117, 215};
constexpr int kLineHeight = 13;
// The bar, from the window's top left.
constexpr int kBarLeft = 20, kBarTop = 210, kBarRight = 480, kBarBottom = 230;
}  // namespace

std::vector<uint8_t> progress_picture(const std::string& text, const float* fraction, int phase) {
    picture p;
    p.fill(0, 0, progress_width, progress_height, kWindow);
    // The text wrapped inside the window less 20 left and right and 15 above and below.
    const wrapped_text lines = OGL_wrap_text(cut(text), 20, 460, 0);
    int baseline = 15 + 10;
    for (const std::string& line : lines.lines) {
        if (baseline - 10 >= progress_height - 15) break;
        std::string shown = line;
        while (!shown.empty() && (shown.back() == '\n' || shown.back() == ' ')) shown.pop_back();
        p.text(20, baseline, progress_width - 20, progress_height - 15, shown, kInk);
        baseline += kLineHeight;
    }
    if (!fraction) return p.take();

    p.fill(kBarLeft, kBarTop, kBarRight, kBarBottom, kTrackEdge);
    p.fill(kBarLeft + 1, kBarTop + 1, kBarRight - 1, kBarBottom - 1, kTrack);
    const int inner = kBarRight - kBarLeft - 2;
    const int value = progress_bar_value(*fraction);
    if (value >= 0) {
        p.fill(kBarLeft + 1, kBarTop + 1, kBarLeft + 1 + inner * value / 1000, kBarBottom - 1, kDone);
    } else {
        // Working without a known end: slanted stripes that move on with the phase.
        for (int y = kBarTop + 1; y < kBarBottom - 1; ++y)
            for (int x = kBarLeft + 1; x < kBarRight - 1; ++x)
                if ((x + y - 2 * (phase & 0xFF) + 1024) % 20 < 10) p.fill(x, y, x + 1, y + 1, kDone);
    }
    return p.take();
}

void ShowProgressMessage(const char* text, float* fraction) {
    // Never closed; made on the first call, and one phase step per bar shown.
    static uint8_t phase = 0;
    xer << "Progress: " << cut(text);
    if (fraction) {
        int v = progress_bar_value(*fraction);
        if (v < 0)
            xer << " (working)";
        else
            xer << " (" << v << " of 1000)";
    }
    xer << "\n";
    const std::vector<uint8_t> px = progress_picture(text ? text : "", fraction, phase);
    if (fraction) ++phase;
    plat::backend().show_progress(px.data(), progress_width, progress_height);
}

void EndianFlipShort(int16_t* value) {
    uint16_t v = static_cast<uint16_t>(*value);
    *value = static_cast<int16_t>(static_cast<uint16_t>((v >> 8) | (v << 8)));
}

void EndianFlipLong(uint32_t* value) { *value = __builtin_bswap32(*value); }
