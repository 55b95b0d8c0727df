// The texture manager (graphics layer).
#include "graphics/texture_manager.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/alert.h"
#include "core/command_line.h"
#include "core/globals.h"
#include "core/locks_and_queues.h"
#include "core/time_keeper.h"
#include "core/window_state.h"
#include "files/versioned_file.h"
#include "graphics/bmp_reader.h"
#include "graphics/dds_codec.h"
#include "graphics/gl_capabilities.h"
#include "graphics/gl_state_cache.h"
#include "graphics/image_flip.h"
#include "graphics/image_loader.h"
#include "graphics/png_codec.h"
#include "graphics/scratch_buffers.h"

tman_class tman;

namespace {
const char* const src_tag = "OOPS_cpp/tman";
const char maker_site[] = "www.tessaly.example";

void no_progress(const std::string&, float*) {}
std::atomic<tman_progress_fn> progress_hook{no_progress};

std::string num(const char* format, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

void fatal(const std::string& l1, const std::string& l2, const std::string& l3, const std::string& l4, int line) {
    __MACIBM_alert(0, l1, l2, l3, l4, t_exit, src_tag, line);
}

class locked {
public:
    explicit locked(pthread_mutex_t* m) : m_(m) { UTL_critical_section_lock(m_); }
    ~locked() { UTL_critical_section_unlock(m_); }
    locked(const locked&) = delete;
    locked& operator=(const locked&) = delete;

private:
    pthread_mutex_t* m_;
};

bool is_pow2(int n) { return n > 0 && (n & (n - 1)) == 0; }

bool nearest_ref(int ref) { return ref == 392 || ref == 419 || (ref >= 425 && ref <= 442); }

// Refs whose loads never show the progress line.
bool quiet_ref(int ref) {
    return ref == 0 || ref == 312 || ref == 392 || ref == 396 || (ref >= 427 && ref <= 442) || ref == 930;
}

bool starts_with_scratch(const std::string& name) { return name.compare(0, 13, "scratch_array") == 0; }

// Moves rows of a decoded image from stride `from` to stride `to` bytes in place, keeping
// `keep` bytes of the first `rows` rows, and zeroes everything else of the `total_rows` rows.
void relayout_rows(unsigned char* data, size_t from, size_t to, size_t keep, int rows, int total_rows) {
    keep = std::min({keep, from, to});
    auto move = [&](int y) {
        if (to != from) std::memmove(data + y * to, data + y * from, keep);
        std::memset(data + y * to + keep, 0, to - keep);
    };
    if (to <= from)
        for (int y = 0; y < rows; ++y) move(y);
    else
        for (int y = rows - 1; y >= 0; --y) move(y);
    if (total_rows > rows) std::memset(data + rows * to, 0, (total_rows - rows) * to);
}

// The whole part of a scaled side. Floating point can leave a product a hair below the whole
// number it stands for (49 x 1/49); that hair must not cost a pixel.
int whole(double v) { return static_cast<int>(v + 1e-9); }

// Where one level of a chain lies: its first byte, and its rows of units (pixels, or the 4 x 4
// blocks of the compressed formats), each row `row` bytes.
struct level_place {
    int64_t at, rows, row;
};

// The places of the levels of a w x h image of this format, packed one after the other: every
// level down to 1 x 1 with a chain, else the first alone.
std::vector<level_place> chain_places(uint32_t format, int w, int h, bool chain) {
    const int64_t unit = TEX_bytes_needed_for_image({format, 1, 1, 0, 0});
    const bool blocks = TEX_is_s3tc(format);
    std::vector<level_place> out;
    for (int64_t at = 0;;) {
        const level_place l{at, blocks ? (h + 3) / 4 : h, (blocks ? (w + 3) / 4 : w) * unit};
        out.push_back(l);
        at += l.rows * l.row;
        if (!chain || (w == 1 && h == 1)) return out;
        w = std::max(1, w / 2);
        h = std::max(1, h / 2);
    }
}

// Lays a chain stored at the image's own size (as a DDS file holds it) out at the texture's
// size, in place: each level in the bottom left corner of the texture's level of the same
// number, the rest zero. A side rounded up can give the texture one level more, its last 1 x 1;
// that one repeats the image's last. Works from the end back, so every byte moves up and never
// onto one not moved yet. False when the image's levels do not fit the texture's.
bool pad_chain(unsigned char* data, const TEX_image_desc& own, int tex_w, int tex_h) {
    if (own.width == tex_w && own.height == tex_h) return true;
    const std::vector<level_place> from = chain_places(own.format, own.width, own.height, own.has_mipmaps);
    const std::vector<level_place> to = chain_places(own.format, tex_w, tex_h, own.has_mipmaps);
    if (to.size() < from.size() || to.size() > from.size() + 1) return false;
    for (size_t l = 0; l < from.size(); ++l)
        if (from[l].rows > to[l].rows || from[l].row > to[l].row) return false;
    if (to.size() > from.size())
        std::memcpy(data + to.back().at, data + from.back().at, static_cast<size_t>(from.back().row));
    for (size_t l = from.size(); l-- > 0;) {
        const level_place &a = from[l], &b = to[l];
        std::memset(data + b.at + a.rows * b.row, 0, static_cast<size_t>((b.rows - a.rows) * b.row));
        for (int64_t r = a.rows; r-- > 0;) {
            unsigned char* d = data + b.at + r * b.row;
            std::memmove(d, data + a.at + r * a.row, static_cast<size_t>(a.row));
            std::memset(d + a.row, 0, static_cast<size_t>(b.row - a.row));
        }
    }
    return true;
}

// 5 x 5 average of the opaque neighbours into the colour of every transparent pixel.
void bleed(unsigned char* px, int w, int h) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            unsigned char* p = px + (static_cast<size_t>(y) * w + x) * 4;
            if (p[3] != 0) continue;
            int sum[3] = {}, n = 0;
            for (int yy = std::max(0, y - 2); yy <= std::min(h - 1, y + 2); ++yy)
                for (int xx = std::max(0, x - 2); xx <= std::min(w - 1, x + 2); ++xx) {
                    const unsigned char* q = px + (static_cast<size_t>(yy) * w + xx) * 4;
                    if (q[3] == 0) continue;
                    sum[0] += q[0], sum[1] += q[1], sum[2] += q[2];
                    ++n;
                }
            if (n)
                for (int c = 0; c < 3; ++c) p[c] = static_cast<unsigned char>(sum[c] / n);
        }
}
}  // namespace

tman_progress_fn set_tman_progress_hook(tman_progress_fn fn) { return progress_hook.exchange(fn ? fn : no_progress); }

void check_dxy(int value, std::string name) {
    if (value < 1 || value > tex_max_side)
        fatal("Trying to create a texture either less than 1 or greater than 2048!", name, "value:",
              num("%1.0f", value), 130);
}

void TEX_missing_file_alert(const std::string& name, const char* source_file, int source_line) {
    __MACIBM_alert(0, "Trying to load a texture that you do not have!",
                   "This smacks of a mis-installed copy of Volatra!",
                   std::string("Get a new download from ") + maker_site + ". The missing file is:", name, t_exit,
                   source_file, source_line);
}

// ---- the table ----

tman_class::tman_class() { UTL_critical_section_create(&lock); }

tman_class::~tman_class() { UTL_critical_section_destroy(&lock); }

int tman_class::total_texes() {
    locked l(&lock);
    return total_count;
}

int tman_class::loaded_texes() {
    locked l(&lock);
    return loaded_count;
}

int64_t tman_class::tot_vram() {
    locked l(&lock);
    int64_t bytes = static_cast<int64_t>(mnw.x_res) * mnw.y_res * mnw.col_res / 8;
    for (const ref_dat_struct& r : ref_dat) bytes += r.vram_bytes;
    return bytes;
}

// ---- scaling ----

double tman_class::scale_rat() {
    switch (mnw.tex_level) {
    case 4: return 0.5;
    case 3: return 0.25;
    case 2: return 0.125;
    case 1: return 0.0625;
    case 0: return 0.03125;
    default: return 1.0;
    }
}

double TEX_get_scale(std::string name, int, int flags, int dx, int dy, int* img_dx, int* img_dy, int* tex_dx,
                     int* tex_dy, int source) {
    check_dxy(dx, name);
    check_dxy(dy, name);
    double scale = tman.scale_rat();
    if (flags & tex_double_res) scale = std::clamp(scale * 2, 0.0, 1.0);
    if (flags & tex_half_res) scale = std::clamp(scale / 2, 0.0, 1.0);
    if (flags & tex_full_res) scale = 1;
    if (source == 1) scale = 1;
    scale = std::max(scale, 1.0 / dx);
    scale = std::max(scale, 1.0 / dy);
    // Pixels already in the scratch buffer are never reduced, and before the probe there is no
    // limit to obey.
    const float max_size = static_cast<float>(glExt.max_tex_size);
    if (source != 1 && max_size > 0)
        while (static_cast<float>(scale) * dx > max_size || static_cast<float>(scale) * dy > max_size) scale /= 2;
    *img_dx = std::max(1, whole(scale * dx));
    *img_dy = std::max(1, whole(scale * dy));
    if (flags & tex_any_size) {
        *tex_dx = *img_dx;
        *tex_dy = *img_dy;
    } else {
        *tex_dx = TEX_next_pow2(*img_dx);
        *tex_dy = TEX_next_pow2(*img_dy);
    }
    for (int v : {dx, dy, *img_dx, *img_dy, *tex_dx, *tex_dy}) check_dxy(v, name);
    return scale;
}

// ---- the file stage ----

int load_any_into_scratch(std::string name, int ref, int flags, int& gl_format, int& has_mips, char& bpp,
                          int alpha_from_file, int* img_dx, int* img_dy, int* tex_dx, int* tex_dy,
                          int64_t* filled, tex_fail_mode fail_mode) {
    if (bpp < 1 || bpp > 4)
        fatal("Trying to bind too low or high a number of bytes!", name, "value:", num("%1.0f", bpp), 133);

    xmap_class file;
    std::string path = name;
    bool mapped = false;
    if (!cmdline.has_option("--no_dds") && TEX_has_ext4(path)) path = TEX_with_ext4(path, ".dds");
    mapped = file.retry(path) != nullptr;
    if (!mapped && TEX_has_ext4(name)) mapped = file.retry(path = TEX_with_ext4(name, ".png")) != nullptr;
    if (!mapped && TEX_has_ext4(name)) mapped = file.retry(path = TEX_with_ext4(name, ".bmp")) != nullptr;
    if (!mapped) return 0;
    return load_mapped_into_scratch(name, file, ref, flags, gl_format, has_mips, bpp, alpha_from_file, img_dx,
                                    img_dy, tex_dx, tex_dy, filled, fail_mode);
}

int load_mapped_into_scratch(const std::string& name, xmap_class& file, int ref, int flags, int& gl_format,
                             int& has_mips, char& bpp, int alpha_from_file, int* img_dx, int* img_dy,
                             int* tex_dx, int* tex_dy, int64_t* filled, tex_fail_mode fail_mode) {
    unsigned char* dest = (flags & tex_in_scratch) ? scratch_array : scratch_array_temp;
    if (!file.base || file.end - file.base < 8) return 0;

    const unsigned long wanted = bpp == 1 ? GL_ALPHA : bpp == 4 ? GL_RGBA : GL_RGB;
    TEX_image_desc desc{};
    const unsigned char* dds = nullptr;
    enum { none, dds_file, bmp_file, png_file } kind = none;
    if (std::memcmp(file.base, "DDS ", 4) == 0) {
        if (!TEX_load_dds(name, &file, dds, desc) || !desc.has_mipmaps) return 0;
        kind = dds_file;
    } else if (std::memcmp(file.base, "BM", 2) == 0) {
        if (!TEX_load_bmp(name, &file, dest, wanted, 0, 1, desc, scratch_bytes)) return 0;
        kind = bmp_file;
    } else if (TEX_has_png_signature(file.base)) {
        if (!TEX_load_png(name, &file, dest, wanted, 0, 1, alpha_from_file, desc, scratch_bytes)) return 0;
        kind = png_file;
    } else {
        return 0;
    }

    switch (desc.format) {
    case GL_RGBA:
    case GL_BGRA:
    case GL_COMPRESSED_RGBA_S3TC_DXT1_EXT:
    case GL_COMPRESSED_RGBA_S3TC_DXT3_EXT:
    case GL_COMPRESSED_RGBA_S3TC_DXT5_EXT: bpp = 4; break;
    case GL_RGB:
    case GL_BGR:
    case GL_COMPRESSED_RGB_S3TC_DXT1_EXT: bpp = 3; break;
    case GL_ALPHA: bpp = 1; break;
    }
    gl_format = static_cast<int>(desc.format);
    has_mips = desc.has_mipmaps;

    const double scale =
        TEX_get_scale(name, ref, flags, desc.width, desc.height, img_dx, img_dy, tex_dx, tex_dy, 2);
    double k = 1 / scale;
    if (kind != dds_file) {
        if (k != 1.0) {
            const int n = whole(k);
            TEX_downscale(desc, dest, std::min(n, desc.width), std::min(n, desc.height));
        }
        // The upload reads rows of tex_dx pixels: a reduced image, or one kept at its own size,
        // no longer has them.
        const size_t stride = static_cast<size_t>(bpp) * desc.width + desc.pad;
        relayout_rows(dest, stride, static_cast<size_t>(bpp) * *tex_dx, static_cast<size_t>(bpp) * desc.width,
                      std::min(desc.height, *tex_dy), *tex_dy);
        if (filled) *filled = static_cast<int64_t>(bpp) * *tex_dx * *tex_dy;
        return 1;
    }
    // Down the chain while the reduction asks for it, but never past its last level: a short side
    // reaches 1 x 1 while k is still above 1 (9 x 9 at 1/9 halves four times, its chain only three
    // times). The image is then 1 x 1 too, the size of that last level.
    const std::vector<level_place> levels = chain_places(desc.format, desc.width, desc.height, true);
    size_t l = 0;
    for (; k > 1.0 && l + 1 < levels.size(); k /= 2, ++l) {
        desc.width = std::max(1, desc.width / 2);
        desc.height = std::max(1, desc.height / 2);
    }
    // The reader found the whole chain in the file; the copy below still reads nothing past it.
    const int64_t rest = TEX_bytes_needed_for_image(desc);
    if (levels[l].at + rest > file.end - dds) return 0;
    dds += levels[l].at;
    // The upload reads the chain at the texture's size, which rounds a side up to a power of two.
    const int64_t chain = TEX_bytes_needed_for_image({desc.format, *tex_dx, *tex_dy, 0, desc.has_mipmaps});
    if (chain > static_cast<int64_t>(scratch_bytes)) {
        // A caller that did not ask for the alert gets a refusal, as for any unreadable file.
        if (fail_mode != tex_fail_fatal) return 0;
        fatal("Trying to create a texture larger than the scratch buffer!", name, "value:", num("%1.0f", chain), 135);
    }
    std::memcpy(dest, dds, static_cast<size_t>(rest));
    if (TEX_flip_y(desc, dest) && desc.format == GL_COMPRESSED_RGB_S3TC_DXT1_EXT) {
        gl_format = GL_COMPRESSED_RGBA_S3TC_DXT1_EXT;
        bpp = 4;
    }
    if (!pad_chain(dest, desc, *tex_dx, *tex_dy)) return 0;
    if (filled) *filled = chain;
    return 1;
}

int64_t tex_upload_bytes(const tex_load_vars& v) {
    uint32_t format = static_cast<uint32_t>(v.gl_format);
    // Uncompressed data goes up as bytes, bpp of them a pixel, rows unaligned.
    if (!TEX_is_s3tc(format)) format = v.bpp == 4 ? GL_RGBA : v.bpp == 3 ? GL_RGB : GL_ALPHA;
    return TEX_bytes_needed_for_image({format, v.tex_dx, v.tex_dy, 0, v.has_mips ? 1 : 0});
}

int tman_class::load_texture_io(tex_load_vars* v) {
    v->gl_format = GL_RGB;
    v->bpp = 3;
    v->has_mips = 0;
    v->alpha_from_file = 0;
    switch (v->flags & tex_colour_mask) {
    case 0:
        fatal("BAD color enum for tman - see tman for valid colors!  We cannot pass 0.", "", "", "", 708);
        break;
    case 2: v->gl_format = GL_RGBA, v->bpp = 4; break;
    case 3: v->gl_format = GL_ALPHA, v->bpp = 1; break;
    case 4: v->alpha_from_file = 1; break;
    case 5: v->gl_format = GL_RGBA, v->bpp = 4, v->alpha_from_file = 1; break;
    case 6: v->gl_format = GL_DEPTH_COMPONENT, v->bpp = 1; break;
    default: break;
    }
    int result = 0;
    v->data_bytes = 0;
    if (!v->name.empty() && starts_with_scratch(v->name)) {
        check_dxy(scratch_dx, v->name);
        check_dxy(scratch_dy, v->name);
        TEX_get_scale(v->name, v->ref, v->flags, scratch_dx, scratch_dy, &v->img_dx, &v->img_dy, &v->tex_dx,
                      &v->tex_dy, 1);
        v->data = scratch_array;
        // What the caller put there is its own affair; the buffer's end is the limit.
        v->data_bytes = static_cast<int64_t>(scratch_bytes);
        result = 1;
    } else if (!v->name.empty()) {
        if (load_any_into_scratch(v->name, v->ref, v->flags, v->gl_format, v->has_mips, v->bpp,
                                  v->alpha_from_file, &v->img_dx, &v->img_dy, &v->tex_dx, &v->tex_dy,
                                  &v->data_bytes, v->fail_mode)) {
            v->data = scratch_array_temp;
            result = 2;
        }
    }
    if (v->flags & tex_in_scratch) v->data = scratch_array;
    return result;
}

// ---- loading ----

int tman_class::load_texture(tex_fail_mode fail_mode, int manual_ref, int flags, tex_load_time load_time,
                             const std::string& name) {
    if (name.empty()) return 0;
    static double last_t = 0;
    const double t = static_cast<double>(xtim_class::microsecs()) / 1000000.0;
    if (t > last_t + 1.0 && load_time == tex_loaded && !starts_with_scratch(name) && !quiet_ref(manual_ref))
        progress_hook.load()("Loading bitmap " + name + ".", nullptr);
    last_t = t;

    locked l(&lock);
    if (load_time < tex_loaded || load_time > tex_unloaded)
        fatal("Trying to create an invalid texture load_time!", name, "value:", num("%1.0f", load_time), 131);
    if (manual_ref < 0 || manual_ref > tex_first_dynamic_ref)
        fatal("Trying to bind too low or high a manual_ref!", name, "value:", num("%1.0f", manual_ref), 134);

    int ref = manual_ref;
    if (ref == 0) {
        auto found = tex_hash.find(name);
        if (found != tex_hash.end()) {
            const int r = found->second;
            ++ref_dat[r].ref_count;
            if (ref_dat[r].load_time != tex_loaded) load_texture_int(fail_mode, r, flags, name);
            return r;
        }
        ref = std::max<int>(static_cast<int>(ref_dat.size()), tex_first_dynamic_ref);
        for (int i = tex_first_dynamic_ref; i < static_cast<int>(ref_dat.size()); ++i)
            if (ref_dat[i].gl_format == 0) ref = i;
    }
    if (ref >= static_cast<int>(ref_dat.size())) ref_dat.resize(ref + 1);

    ref_dat_struct& rec = ref_dat[ref];
    auto old = tex_hash.find(rec.name);
    if (old != tex_hash.end() && old->second == ref) tex_hash.erase(old);
    tex_hash.emplace(name, ref);

    if (rec.gl_format == 0) {
        rec.name = name;
        rec.load_time = tex_loaded;
        rec.tex = 0;
        rec.img_dx = rec.img_dy = rec.tex_dx = rec.tex_dy = 0;
        rec.ref_count = manual_ref == 0 ? 1 : -1;
        rec.flags = flags;
        rec.fail_mode = fail_mode;
        rec.gl_format = GL_RGBA;
        rec.vram_bytes = 0;
        ++total_count;
    }
    const int got = load_texture_int(fail_mode, ref, flags, name);
    return got == 0 && manual_ref != 0 ? 0 : ref;
}

int tman_class::load_texture_int(tex_fail_mode fail_mode, int ref, int flags, const std::string& name) {
    if (force_finish_obj && !starts_with_scratch(name)) force_finish_obj->finish();
    if (flags < 0 || flags > 16383)
        fatal("Trying to bind an invalid filter type!", name, "value:", num("%1.0f", flags), 132);
    tex_load_vars vars;
    vars.fail_mode = fail_mode;
    vars.ref = ref;
    vars.flags = flags;
    vars.name = name;
    const int r = load_texture_io(&vars);
    return load_texture_ogl(&vars, r);
}

void tman_class::force_load_tex(int ref) {
    locked l(&lock);
    if (ref < 0 || ref >= static_cast<int>(ref_dat.size())) return;
    const ref_dat_struct& r = ref_dat[ref];
    if (r.load_time != tex_loaded) load_texture_int(r.fail_mode, ref, r.flags, r.name);
}

// ---- the upload ----

int tman_class::load_texture_ogl(tex_load_vars* v, int io_result) {
    const int ref = v->ref;
    if (ref < 0 || ref >= static_cast<int>(ref_dat.size()))
        fatal("(manual_ref>=ref_dat.size()!",
              "maybe we tried to load some texture thatis not avail, and we have not loaded the t_blank_gray yet?",
              "", "", 766);
    ref_dat_struct& rec = ref_dat[ref];

    // The one check that the data holds every byte the upload reads; data that falls short is
    // a failed load.
    if (io_result != 0 && tex_upload_bytes(*v) > v->data_bytes) {
        xer << "WARNING: the texture " << v->name << " holds " << v->data_bytes << " bytes where its upload reads "
            << tex_upload_bytes(*v) << ".\n";
        io_result = 0;
    }
    if (io_result == 0) {
        // The record shares the placeholder's texture; it stays in use (its format non-zero)
        // even while the placeholder itself was never loaded.
        rec.tex = tex_placeholder_ref;
        if (tex_placeholder_ref < static_cast<int>(ref_dat.size()) && ref != tex_placeholder_ref) {
            const ref_dat_struct& ph = ref_dat[tex_placeholder_ref];
            rec.img_dx = ph.img_dx, rec.img_dy = ph.img_dy, rec.tex_dx = ph.tex_dx, rec.tex_dy = ph.tex_dy;
            if (ph.gl_format) rec.gl_format = ph.gl_format;
        }
        rec.vram_bytes = 0;
        rec.load_time = tex_loaded;
        switch (v->fail_mode) {
        case tex_fail_quiet: return 0;
        case tex_fail_scene:
            if (scene_load_fail == 0) scene_load_fail = 1;
            break;
        case tex_fail_plane:
            if (plane_load_fail == 0) plane_load_fail = 1;
            break;
        case tex_fail_instl:
            if (instl_load_fail == 0) instl_load_fail = 1;
            break;
        case tex_fail_fatal: TEX_missing_file_alert(v->name, src_tag, 781); break;
        default: break;
        }
        xer << "WARNING: we are missing the texture: " << v->name << ".\n";
        return 0;
    }

    const int f = v->gl_format;
    int internal = f == GL_BGRA ? GL_RGBA : f == GL_BGR ? GL_RGB : f;
    if (v->flags & tex_half_float) {
        if (internal == GL_RGB) internal = GL_RGB16F_ARB;
        else if (internal == GL_RGBA) internal = GL_RGBA16F_ARB;
        else if (internal == GL_ALPHA) internal = GL_ALPHA16F_ARB;
    }
    if (f == GL_DEPTH_COMPONENT) internal = GL_DEPTH_COMPONENT32;
    if (v->flags & tex_sized_8bit) {
        if (internal == GL_RGB) internal = GL_RGB8;
        else if (internal == GL_RGBA) internal = GL_RGBA8;
    }
    const bool compressed = TEX_is_s3tc(static_cast<uint32_t>(f));
    const bool mip = (v->flags & tex_mipmap) != 0;
    const bool gl_mips = mip && glExt.automini_avail && !compressed && !(v->flags & tex_sized_8bit);
    const bool soft_mips = mip && !v->has_mips && !gl_mips;
    const bool replace = rec.load_time == tex_loaded && rec.gl_format == f && rec.tex_dx == v->tex_dx &&
                         rec.tex_dy == v->tex_dy && rec.tex == ref && (!mip || gl_mips);
    const bool do_bleed = v->bpp == 4 && io_result == 2 && !compressed && !v->has_mips;

    if (rec.vram_bytes == 0) ++loaded_count;
    const float k = mip ? 1.33f : 1.0f;
    rec.name = v->name;
    rec.load_time = tex_loaded;
    rec.tex = ref;
    rec.img_dx = static_cast<float>(v->img_dx), rec.img_dy = static_cast<float>(v->img_dy);
    rec.tex_dx = static_cast<float>(v->tex_dx), rec.tex_dy = static_cast<float>(v->tex_dy);
    rec.gl_format = f;
    rec.flags = v->flags;
    rec.vram_bytes = static_cast<int32_t>(k * static_cast<float>(v->tex_dx) * static_cast<float>(v->tex_dy) *
                                          static_cast<float>(v->bpp));

    if (ref == 0) fatal("Trying to bind a null ref!", "ref=     0, tex=     0", "", ref_dat[0].name, 969);
    if (do_bleed) bleed(v->data, v->tex_dx, v->tex_dy);
    if (!(v->flags & tex_any_size)) {
        if (!is_pow2(v->tex_dx))
            fatal("load_tex: Trying to read a texture that is not a power of 2!", v->name, "", "", 1017);
        if (!is_pow2(v->tex_dy))
            fatal("load_tex: Trying to read a texture that is not a power of 2!", v->name, "", "", 1018);
    }
    check_dxy(v->tex_dx, v->name);
    check_dxy(v->tex_dy, v->name);

    const int units = num_units;
    if (units == 0) glEnable(GL_TEXTURE_2D);
    num_units = 1;
    TEX_bind_ref(ref, 0, 0);
    num_units = units;
    if (units == 0) glDisable(GL_TEXTURE_2D);

    TEX_image_desc d{static_cast<uint32_t>(f), v->tex_dx, v->tex_dy, 0, 0};
    unsigned char* p = v->data;
    for (int level = 0;; ++level) {
        const int64_t n = TEX_bytes_needed_for_image(d);
        if (gl_mips) glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, 1);
        if (compressed) {
            if (glExt.glCompressedTexImage2DARB)
                glExt.glCompressedTexImage2DARB(GL_TEXTURE_2D, level, f, d.width, d.height, 0,
                                                static_cast<GLsizei>(n), p);
        } else if (replace) {
            glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, d.width, d.height, f, GL_UNSIGNED_BYTE, p);
        } else {
            glTexImage2D(GL_TEXTURE_2D, level, internal, d.width, d.height, 0, f, GL_UNSIGNED_BYTE, p);
        }
        if (d.width == 1 && d.height == 1) break;
        if (v->has_mips) {
            p += n;
            if (d.width > 1) d.width /= 2;
            if (d.height > 1) d.height /= 2;
        } else if (soft_mips) {
            TEX_downscale(d, p, d.width > 1 ? 2 : 1, d.height > 1 ? 2 : 1);
        } else {
            break;
        }
    }
    if (compressed) {
        GLint is_compressed = 0, size = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED_ARB, &is_compressed);
        if (is_compressed) {
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED_IMAGE_SIZE_ARB, &size);
            rec.vram_bytes = static_cast<int32_t>(k * static_cast<float>(size));
        }
    }
    const GLint clamp = glExt.tex_clamp_avail ? GL_CLAMP_TO_EDGE : GL_CLAMP;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, (v->flags & (tex_clamp_st | tex_clamp_s)) ? clamp : GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, (v->flags & tex_clamp_st) ? clamp : GL_REPEAT);
    if (glExt.aniso_avail) glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, 1.0f);
    if (nearest_ref(ref)) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    } else {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, mip ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    }
    if (f == GL_DEPTH_COMPONENT) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_R_TO_TEXTURE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
    }
    return ref;
}

// ---- binding and unloading ----

void tman_class::bind_ref(int ref, int unit, int mode) {
    locked l(&lock);
    // A ref outside the table binds no texture.
    int t = 0;
    if (ref > 0 && ref < static_cast<int>(ref_dat.size())) {
        const ref_dat_struct& r = ref_dat[ref];
        t = r.tex;
        if (r.load_time == tex_deferred)
            t = tex_placeholder_ref;
        else if (r.load_time != tex_loaded)
            fatal("missing non-scenery texture - how?", "", num("ref=%6.0f", ref), r.name, 425);
    } else if (ref == 0 && !ref_dat.empty()) {
        t = ref_dat[0].tex;
    }
    TEX_bind_ref(t, unit, mode);
}

void tman_class::reset_bind() { TEX_reset_bind(); }

void tman_class::set_blend_level(int unit, float level) { TEX_set_blend_level(unit, level); }

void tman_class::release_texture(int ref) {
    locked l(&lock);
    if (ref >= static_cast<int>(ref_dat.size())) return;
    if (ref < tex_first_dynamic_ref)
        fatal("Trying to release a manual texture - use unload_texture.", num("%f", ref),
              ref >= 0 ? ref_dat[ref].name : "", "", 1264);
    ref_dat_struct& r = ref_dat[ref];
    if (r.ref_count == -1)
        fatal("Ref count is negative - was never reffed.", num("%f", ref), r.name, "", 1265);
    if (--r.ref_count < 0) fatal("Ref count went negative", num("%f", ref), r.name, "", 1267);
}

void tman_class::purge_unused_texes() {
    locked l(&lock);
    for (int i = tex_first_dynamic_ref; i < static_cast<int>(ref_dat.size()); ++i)
        if (ref_dat[i].ref_count == 0) unload_texture_internal(i);
}

void tman_class::unload_texture(int ref) {
    locked l(&lock);
    if (ref < 0 || ref >= static_cast<int>(ref_dat.size())) return;
    if (ref > tex_first_dynamic_ref - 1)
        fatal("Error: dynamic textures should be released, not unloaded.", ref_dat[ref].name, num("%f", ref), "",
              1224);
    unload_texture_internal(ref);
}

void tman_class::unload_texture_internal(int ref) {
    ref_dat_struct& r = ref_dat[ref];
    if (r.tex != 0 && r.tex != tex_placeholder_ref) {
        const GLuint name = static_cast<GLuint>(r.tex);
        glDeleteTextures(1, &name);
        // GL unbinds a deleted name; the binding cache must not believe it is still bound.
        TEX_reset_bind();
    }
    if (r.load_time == tex_loaded && r.vram_bytes != 0) --loaded_count;
    if (r.gl_format != 0) --total_count;
    // Several records may share a name (the built-in images do): only this ref's entry goes.
    auto entry = tex_hash.find(r.name);
    if (entry != tex_hash.end() && entry->second == ref) tex_hash.erase(entry);
    r = ref_dat_struct();
}

// ---- deferred scenery textures ----

int tman_class::load_scenery_async_register(tman_force_finish_obj* obj) {
    for (size_t i = async_cursor; i < ref_dat.size(); ++i) {
        if (ref_dat[i].load_time != tex_deferred) continue;
        force_finish_obj = obj;
        async_vars = tex_load_vars();
        async_vars.fail_mode = ref_dat[i].fail_mode;
        async_vars.flags = ref_dat[i].flags;
        async_vars.ref = static_cast<int>(i);
        async_vars.name = ref_dat[i].name;
        async_vars_ptr = &async_vars;
        return 1;
    }
    async_cursor = static_cast<uint32_t>(ref_dat.size());
    return 0;
}

int tman_class::load_scenery_async_work() {
    async_io_result = load_texture_io(async_vars_ptr);
    return async_io_result;
}

void tman_class::load_scenery_async_finalize() {
    if (!force_finish_obj) return;
    load_texture_ogl(async_vars_ptr, async_io_result);
    async_vars_ptr = nullptr;
    force_finish_obj = nullptr;
}

int tman_class::num_remaining_async_texes() {
    locked l(&lock);
    int n = 0;
    for (size_t i = async_cursor; i < ref_dat.size(); ++i) n += ref_dat[i].load_time == tex_deferred;
    return n;
}

void tman_class::load_all_scenery_texes() {
    locked l(&lock);
    const int total = num_remaining_async_texes();
    int c = 0;
    for (size_t i = async_cursor; i < ref_dat.size(); ++i) {
        if (ref_dat[i].load_time != tex_deferred) continue;
        const ref_dat_struct r = ref_dat[i];
        load_texture_int(r.fail_mode, static_cast<int>(i), r.flags, r.name);
        if (c % 40 == 0) {
            const std::string line = "Loading scenery texture " + r.name.substr(r.name.rfind('/') + 1) + ".";
            float fraction = static_cast<float>(c) / static_cast<float>(total);
            UTL_critical_section_unlock(&lock);
            progress_hook.load()(line, &fraction);
            UTL_critical_section_lock(&lock);
        }
        ++c;
    }
    async_cursor = static_cast<uint32_t>(ref_dat.size());
}
