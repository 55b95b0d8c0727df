#include "platform/plat_keys.h"
#include "platform/plat_sdl_backend.h"

namespace plat {
namespace {
event key_record(int what, int code, int ch, uint32_t modifiers, uint32_t text = 0) {
    event r;
    r.what = what;
    r.message = (static_cast<uint32_t>(code) << 8) | static_cast<uint32_t>(ch & 0xFF);
    r.modifiers = modifiers;
    r.text = text;
    return r;
}
}  // namespace

bool sdl_event_translator::translate(const SDL_Event& e, const SDL_Event* next, std::deque<event>& out) {
    const size_t before = out.size();
    const bool used_next = translate_records(e, next, out);
    // SDL stamps an event when it takes it from the window system (or when it is pushed).
    for (size_t i = before; i < out.size(); ++i) out[i].time = e.common.timestamp;
    return used_next;
}

bool sdl_event_translator::translate_records(const SDL_Event& e, const SDL_Event* next, std::deque<event>& out) {
    switch (e.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            const SDL_Keysym& k = e.key.keysym;
            modifiers = static_cast<uint32_t>(mac_modifiers_from_sdl(k.mod));
            if (k.scancode < 0 || k.scancode >= SDL_NUM_SCANCODES || is_modifier_scancode(k.scancode))
                return false;
            int code = mac_code_from_scancode(k.scancode);
            if (e.type == SDL_KEYUP) {
                out.push_back(key_record(ev_key_up, code, down_char_[k.scancode], modifiers));
                return false;
            }
            // SDL queues a key's typed text right behind its key-down.
            bool text = next && next->type == SDL_TEXTINPUT;
            int ch = text ? mac_char_from_utf8(next->text.text) : mac_control_char(k.scancode);
            down_char_[k.scancode] = static_cast<uint8_t>(ch);
            out.push_back(key_record(e.key.repeat ? ev_auto_key : ev_key_down, code, ch, modifiers,
                                     text ? code_point_from_utf8(next->text.text) : 0));
            return text;
        }
        case SDL_TEXTINPUT: {
            // Text without a key: a character the keymap lacks, or an input method's result.
            int ch = mac_char_from_utf8(e.text.text);
            out.push_back(
                key_record(ev_key_down, mac_code_none, ch, modifiers, code_point_from_utf8(e.text.text)));
            out.push_back(key_record(ev_key_up, mac_code_none, ch, modifiers));
            return false;
        }
        case SDL_MOUSEMOTION:
            mouse_x = e.motion.x;
            mouse_y = e.motion.y;
            return false;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            mouse_x = e.button.x;
            mouse_y = e.button.y;
            // The program knows one button; the others do nothing, as on a one-button mouse.
            if (e.button.button != SDL_BUTTON_LEFT) return false;
            event r;
            r.what = e.type == SDL_MOUSEBUTTONDOWN ? ev_mouse_down : ev_mouse_up;
            r.modifiers = modifiers;
            out.push_back(r);
            return false;
        }
        case SDL_MOUSEWHEEL: {
            int d = e.wheel.y != 0 ? e.wheel.y : e.wheel.x;
            if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) d = -d;
            if (d == 0) return false;
            event r;
            r.what = ev_wheel;
            r.wheel = d;
            r.modifiers = modifiers;
            out.push_back(r);
            return false;
        }
        case SDL_WINDOWEVENT: {
            event r;
            switch (e.window.event) {
                case SDL_WINDOWEVENT_EXPOSED:
                    r.what = ev_update;
                    break;
                case SDL_WINDOWEVENT_FOCUS_GAINED:
                    r.what = ev_activate;
                    r.modifiers = activate_flag;
                    break;
                case SDL_WINDOWEVENT_FOCUS_LOST:
                    r.what = ev_activate;
                    break;
                default:
                    return false;
            }
            out.push_back(r);
            return false;
        }
        case SDL_QUIT: {
            event r;
            r.what = ev_quit;
            out.push_back(r);
            return false;
        }
        default:
            return false;
    }
}

}  // namespace plat
