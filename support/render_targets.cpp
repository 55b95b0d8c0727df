// Framebuffer render targets (support libraries layer).
#include "support/render_targets.h"

#include <GL/glext.h>

#include <cstdio>

#include "core/alert.h"
#include "core/locks_and_queues.h"
#include "core/window_state.h"
#include "graphics/gl_capabilities.h"
#include "graphics/gl_state_cache.h"
#include "graphics/scratch_buffers.h"
#include "graphics/texture_manager.h"

UTL_stat g_fbo_flushes("fbo/flush_per_frame", stat_per_frame, 0.0f);

namespace {
constexpr int tex_copy_target = tex_builtin | tex_full_res;  // 0x500
constexpr int tex_fbo_target = tex_copy_target | tex_sized_8bit;  // 0x1500
constexpr int depth_only = 6;
}  // namespace

OGL_framebuffer::OGL_framebuffer(int slot, fbo_id f, int fl, int w, int h, unsigned long rb)
    : fbo(f), depth_rb(rb), tex_slot(slot), flags(fl), render_w(w), render_h(h) {}

void OGL_framebuffer::set_render_size(int w, int h) {
    render_w = w;
    render_h = h;
}

bool OGL_framebuffer::slot_holds(int w, int h) const {
    UTL_critical_section_lock(&tman.lock);
    bool same = false;
    if (tex_slot > 0 && tex_slot < static_cast<int>(tman.ref_dat.size())) {
        const tman_class::ref_dat_struct& r = tman.ref_dat[tex_slot];
        same = r.load_time == tex_loaded && r.tex_dx == static_cast<float>(w) && r.tex_dy == static_cast<float>(h);
    }
    UTL_critical_section_unlock(&tman.lock);
    return same;
}

void OGL_framebuffer::begin_render(int use) {
    use_fbo = use;
    tex_w = render_w;
    tex_h = render_h;
    if (!glExt.framebuf_avail || !use_fbo) {
        // The copy path draws into the window, so the target must fit it.
        while (tex_w > mnw.x_res) tex_w >>= 1;
        while (tex_h > mnw.y_res) tex_h >>= 1;
        if (!slot_holds(tex_w, tex_h)) {
            scratch_dx = tex_w;
            scratch_dy = tex_h;
            tman.load_texture(tex_fail_fatal, tex_slot, flags | tex_copy_target, tex_loaded, "scratch_array-mTexID");
        }
    } else {
        prev_fbo = 0;
        glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &prev_fbo);
        glExt.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo.name);
        if (!slot_holds(render_w, render_h)) {
            scratch_dx = render_w;
            scratch_dy = render_h;
            tman.load_texture(tex_fail_fatal, tex_slot, flags | tex_fbo_target, tex_loaded, "scratch_array-fbo");
            if ((flags & tex_colour_mask) == depth_only) {
                glDrawBuffer(GL_NONE);
                glReadBuffer(GL_NONE);
                glExt.glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_TEXTURE_2D, tex_slot,
                                                0);
            } else {
                glExt.glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, tex_slot,
                                                0);
                const GLuint rb = static_cast<GLuint>(depth_rb);
                if (rb) {
                    glExt.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, rb);
                    glExt.glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, render_w, render_h);
                    glExt.glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
                }
                glExt.glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT,
                                                   rb);
            }
            const GLenum status = glExt.glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
            if (status != GL_FRAMEBUFFER_COMPLETE_EXT) {
                char num[64];
                std::snprintf(num, sizeof num, "%f", static_cast<double>(status));
                __MACIBM_alert(0, "ERROR: incomplete framebuffer.", num, "", "", t_exit, "OGL_framebuffer", 74);
            }
        }
    }
    saved_view_l = mnw.view_l;
    saved_view_b = mnw.view_b;
    saved_view_r = mnw.view_r;
    saved_view_t = mnw.view_t;
    saved_layout_dx = mnw.layout_dx;
    saved_x_res = mnw.x_res;
    saved_y_res = mnw.y_res;
    mnw.view_l = 0;
    mnw.view_b = 0;
    mnw.view_r = static_cast<float>(tex_w);
    mnw.view_t = static_cast<float>(tex_h);
    mnw.x_res = tex_w;
    mnw.y_res = tex_h;
    mnw.layout_dx = 0;
    TEX_reset_bind();
}

void OGL_framebuffer::end_render() {
    g_fbo_flushes.value += 1;
    // The exact values: a view rectangle or layout offset with a fraction comes back unchanged.
    mnw.view_l = saved_view_l;
    mnw.view_b = saved_view_b;
    mnw.view_r = saved_view_r;
    mnw.view_t = saved_view_t;
    mnw.layout_dx = saved_layout_dx;
    mnw.x_res = saved_x_res;
    mnw.y_res = saved_y_res;
    if (use_fbo && glExt.framebuf_avail) {
        glExt.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(prev_fbo));
        if (flags & tex_mipmap) {
            OGL_setstate(1, 1, 3, 5, 9, 11);
            tman.bind_ref(tex_slot, 0, 0);
            glExt.glGenerateMipmapEXT(GL_TEXTURE_2D);
        }
        return;
    }
    OGL_setstate(1, 1, 3, 5, 9, 11);
    tman.bind_ref(tex_slot, 0, 0);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, tex_w, tex_h);
}
