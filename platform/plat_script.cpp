// The input script of whole-program tests: each line becomes real SDL events in SDL's queue,
// so scripted input takes the road a person's input takes.
#include <SDL.h>
#include <SDL_opengl.h>
#include <SDL_syswm.h>
#include <dlfcn.h>
#include <png.h>
#include <unistd.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/plat_keys.h"
#include "platform/plat_paths.h"
#include "platform/plat_sdl_backend.h"
#include "platform/plat_strings.h"

namespace plat {
namespace {

constexpr double kDefaultLogWait = 60;  // seconds
constexpr double kQuitWait = 30;        // seconds the program has to end after quit or close
constexpr double kMaxSeconds = 3600;    // a wait or a sleep; past any test's guard
constexpr int kMaxCoordinate = 32767;   // X keeps pointer positions in 16 signed bits
constexpr int kMaxWheelSteps = 1000;
constexpr char kUnshifted[] = "`1234567890-=[]\\;',./";
constexpr char kShifted[] = "~!@#$%^&*()_+{}|:\"<>?";

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return std::string();
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

// s as a whole is a number, in any form strtod reads ("1e20", "inf" and "nan" among them).
bool to_number(const std::string& s, double* out) {
    if (s.empty()) return false;
    char* end = nullptr;
    double v = std::strtod(s.c_str(), &end);
    if (*end != '\0') return false;
    *out = v;
    return true;
}

// Within [lo, hi]; never so for not-a-number.
bool in_range(double v, double lo, double hi) { return v >= lo && v <= hi; }

// A whole number within [lo, hi]: checked before it is converted, which outside int's range
// would be undefined.
bool to_int(const std::string& s, int lo, int hi, int* out) {
    double v;
    if (!to_number(s, &v) || !in_range(v, lo, hi) || v != std::trunc(v)) return false;
    *out = static_cast<int>(v);
    return true;
}

// A text in double quotes, or the whole of s.
std::string unquote(const std::string& s) {
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
    return s;
}

bool starts_with_nocase(const std::string& s, const char* prefix) {
    size_t n = std::strlen(prefix);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
    return true;
}

std::vector<uint32_t> code_points(const std::string& s) {
    // A byte that starts no well-formed sequence stands for itself.
    std::vector<uint32_t> out;
    const char* end = s.data() + s.size();
    for (const char* p = s.data(); p < end;) {
        uint32_t cp = static_cast<unsigned char>(*p);
        const int n = utf8_decode(p, end, &cp);
        out.push_back(cp);
        p += n > 0 ? n : 1;
    }
    return out;
}

struct scan_ascii {
    SDL_Scancode scan;
    char ch;
};
// clang-format off
constexpr scan_ascii kUsOthers[] = {
    {SDL_SCANCODE_SPACE, ' '}, {SDL_SCANCODE_MINUS, '-'}, {SDL_SCANCODE_EQUALS, '='},
    {SDL_SCANCODE_LEFTBRACKET, '['}, {SDL_SCANCODE_RIGHTBRACKET, ']'}, {SDL_SCANCODE_BACKSLASH, '\\'},
    {SDL_SCANCODE_SEMICOLON, ';'}, {SDL_SCANCODE_APOSTROPHE, '\''}, {SDL_SCANCODE_GRAVE, '`'},
    {SDL_SCANCODE_COMMA, ','}, {SDL_SCANCODE_PERIOD, '.'}, {SDL_SCANCODE_SLASH, '/'},
    {SDL_SCANCODE_KP_DIVIDE, '/'}, {SDL_SCANCODE_KP_MULTIPLY, '*'}, {SDL_SCANCODE_KP_MINUS, '-'},
    {SDL_SCANCODE_KP_PLUS, '+'}, {SDL_SCANCODE_KP_EQUALS, '='},
};
// clang-format on

// What a key prints on a US keyboard without modifiers; 0 for nothing. Scripts are written
// for that layout, whatever the machine's keymap.
char us_char(SDL_Scancode scan) {
    if (scan >= SDL_SCANCODE_A && scan <= SDL_SCANCODE_Z)
        return static_cast<char>('a' + (scan - SDL_SCANCODE_A));
    if (scan >= SDL_SCANCODE_1 && scan <= SDL_SCANCODE_0) return "1234567890"[scan - SDL_SCANCODE_1];
    if (scan >= SDL_SCANCODE_KP_1 && scan <= SDL_SCANCODE_KP_PERIOD)
        return "1234567890."[scan - SDL_SCANCODE_KP_1];
    for (const scan_ascii& r : kUsOthers)
        if (r.scan == scan) return r.ch;
    return 0;
}

bool is_keypad(SDL_Scancode scan) { return scan >= SDL_SCANCODE_KP_DIVIDE && scan <= SDL_SCANCODE_KP_PERIOD; }

// The text a key types with these modifiers on a US keyboard (NumLock on); 0 for none.
uint32_t typed_char(SDL_Scancode scan, Uint16 mod) {
    char c = us_char(scan);
    if (!c || (mod & (KMOD_CTRL | KMOD_ALT | KMOD_GUI))) return 0;
    if (!(mod & KMOD_SHIFT) || is_keypad(scan)) return static_cast<unsigned char>(c);
    if (c >= 'a' && c <= 'z') return static_cast<uint32_t>(c - 'a' + 'A');
    const char* p = std::strchr(kUnshifted, c);
    return p ? static_cast<unsigned char>(kShifted[p - kUnshifted]) : static_cast<unsigned char>(c);
}

// The key that prints c on a US keyboard without keypad; SDL_SCANCODE_UNKNOWN when none does.
SDL_Scancode us_scancode(char c) {
    for (int s = SDL_SCANCODE_A; s <= SDL_SCANCODE_SLASH; ++s)
        if (us_char(static_cast<SDL_Scancode>(s)) == c) return static_cast<SDL_Scancode>(s);
    return SDL_SCANCODE_UNKNOWN;
}

SDL_Event key_event(Uint32 type, SDL_Scancode scan, Uint16 mod, Uint32 window_id) {
    SDL_Event e;
    std::memset(&e, 0, sizeof e);
    e.type = type;
    e.key.timestamp = SDL_GetTicks();
    e.key.windowID = window_id;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.scancode = scan;
    e.key.keysym.sym = SDL_GetKeyFromScancode(scan);
    if (e.key.keysym.sym == SDLK_UNKNOWN)
        e.key.keysym.sym = us_char(scan) ? us_char(scan) : SDL_SCANCODE_TO_KEYCODE(scan);
    e.key.keysym.mod = mod;
    return e;
}

SDL_Event text_event(const std::string& text, Uint32 window_id) {
    SDL_Event e;
    std::memset(&e, 0, sizeof e);
    e.type = SDL_TEXTINPUT;
    e.text.timestamp = SDL_GetTicks();
    e.text.windowID = window_id;
    std::snprintf(e.text.text, sizeof e.text.text, "%s", text.c_str());
    return e;
}

struct modifier_key {
    const char* prefix;
    SDL_Scancode scan;
    Uint16 mod;
};
constexpr modifier_key kModifierKeys[] = {
    {"shift+", SDL_SCANCODE_LSHIFT, KMOD_LSHIFT}, {"ctrl+", SDL_SCANCODE_LCTRL, KMOD_LCTRL},
    {"alt+", SDL_SCANCODE_LALT, KMOD_LALT},       {"gui+", SDL_SCANCODE_LGUI, KMOD_LGUI},
    {"cmd+", SDL_SCANCODE_LGUI, KMOD_LGUI},
};

void press_key(SDL_Scancode scan, const std::vector<const modifier_key*>& mods, Uint32 window_id,
               std::vector<SDL_Event>* first, std::vector<SDL_Event>* second) {
    Uint16 held = 0;
    for (const modifier_key* m : mods) {
        held = static_cast<Uint16>(held | m->mod);
        first->push_back(key_event(SDL_KEYDOWN, m->scan, held, window_id));
    }
    first->push_back(key_event(SDL_KEYDOWN, scan, held, window_id));
    if (uint32_t c = typed_char(scan, held)) first->push_back(text_event(utf8_encode(c), window_id));
    second->push_back(key_event(SDL_KEYUP, scan, held, window_id));
    for (auto it = mods.rbegin(); it != mods.rend(); ++it) {
        held = static_cast<Uint16>(held & ~(*it)->mod);
        second->push_back(key_event(SDL_KEYUP, (*it)->scan, held, window_id));
    }
}

uint64_t now_ms() { return SDL_GetTicks64(); }

// Asks for the window to close as a window manager does: X's WM_DELETE_WINDOW message, which SDL
// turns into the window's close event and, for the last window, SDL_QUIT. The X library is the
// one SDL has loaded already.
bool send_window_close(SDL_Window* w, std::string* why) {
#if defined(SDL_VIDEO_DRIVER_X11)
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(w, &info) || info.subsystem != SDL_SYSWM_X11)
        return *why = "the window is not an X window", false;
    void* x11 = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
    if (!x11) return *why = "the X library is not loaded", false;
    using intern_fn = Atom (*)(Display*, const char*, Bool);
    using send_fn = Status (*)(Display*, Window, Bool, long, XEvent*);
    using flush_fn = int (*)(Display*);
    auto intern = reinterpret_cast<intern_fn>(dlsym(x11, "XInternAtom"));
    auto send = reinterpret_cast<send_fn>(dlsym(x11, "XSendEvent"));
    auto flush = reinterpret_cast<flush_fn>(dlsym(x11, "XFlush"));
    bool sent = false;
    if (intern && send && flush) {
        Display* d = info.info.x11.display;
        XEvent e;
        std::memset(&e, 0, sizeof e);
        e.xclient.type = ClientMessage;
        e.xclient.window = info.info.x11.window;
        e.xclient.message_type = intern(d, "WM_PROTOCOLS", False);
        e.xclient.format = 32;
        e.xclient.data.l[0] = static_cast<long>(intern(d, "WM_DELETE_WINDOW", False));
        e.xclient.data.l[1] = CurrentTime;
        sent = send(d, info.info.x11.window, False, NoEventMask, &e) != 0;
        flush(d);
    }
    dlclose(x11);
    if (!sent) *why = "X did not take the close message";
    return sent;
#else
    (void)w;
    *why = "SDL was built without X";
    return false;
#endif
}
}  // namespace

bool parse_script_line(const std::string& raw, script_command* out, std::string* why) {
    *out = script_command();
    std::string line = trim(raw);
    if (line.empty() || line[0] == '#') return true;
    size_t sp = line.find_first_of(" \t");
    std::string word = line.substr(0, sp);
    std::string rest = sp == std::string::npos ? std::string() : trim(line.substr(sp));
    std::istringstream args(rest);
    std::string a, b;
    args >> a >> b;

    using c = script_command;
    if (word == "wait_log") {
        out->kind = c::wait_log;
        out->number = kDefaultLogWait;
        std::string text = rest;
        if (!rest.empty() && rest[0] == '"') {
            size_t close = rest.find('"', 1);
            if (close == std::string::npos) return *why = "unclosed quote", false;
            text = rest.substr(1, close - 1);
            std::string after = trim(rest.substr(close + 1));
            if (!after.empty() && (!to_number(after, &out->number) || !in_range(out->number, 0, kMaxSeconds)))
                return *why = "wants seconds from 0 to 3600 after the text", false;
        } else {
            // A last word that is a number of seconds (not below 0) is the time to wait.
            size_t last = rest.find_last_of(" \t");
            double secs;
            if (last != std::string::npos && to_number(rest.substr(last + 1), &secs) && secs >= 0) {
                if (!in_range(secs, 0, kMaxSeconds)) return *why = "wants seconds from 0 to 3600", false;
                out->number = secs;
                text = trim(rest.substr(0, last));
            }
        }
        if (text.empty()) return *why = "no text to wait for", false;
        out->text = text;
        return true;
    }
    if (word == "click" || word == "tap" || word == "move" || word == "swipe") {
        out->kind = word == "click" ? c::click : word == "tap" ? c::tap : word == "move" ? c::move : c::swipe;
        std::istringstream all(rest);
        std::vector<std::string> n;
        for (std::string w; all >> w;) n.push_back(w);
        const bool count_ok = out->kind == c::tap     ? !n.empty() && n.size() % 2 == 0
                              : out->kind == c::swipe ? n.size() == 4
                                                      : n.size() == 2;
        const char* wants = out->kind == c::tap     ? "wants X Y pairs"
                            : out->kind == c::swipe ? "wants X1 Y1 X2 Y2"
                                                    : "wants X Y";
        for (size_t i = 0; count_ok && i < n.size(); i += 2) {
            std::pair<int, int> p;
            if (!to_int(n[i], -kMaxCoordinate, kMaxCoordinate, &p.first) ||
                !to_int(n[i + 1], -kMaxCoordinate, kMaxCoordinate, &p.second))
                break;
            out->points.push_back(p);
        }
        if (!count_ok || out->points.size() * 2 != n.size())
            return *why = std::string(wants) + ", whole numbers from -32767 to 32767", false;
        out->x = out->points[0].first;
        out->y = out->points[0].second;
        return true;
    }
    if (word == "press" || word == "release" || word == "quit" || word == "close") {
        out->kind = word == "press"     ? c::press
                    : word == "release" ? c::release
                    : word == "quit"    ? c::quit
                                        : c::close;
        if (!rest.empty()) return *why = "takes no arguments", false;
        return true;
    }
    if (word == "key" || word == "type" || word == "burst" || word == "shot" || word == "shot_screen") {
        out->kind = word == "key"     ? c::key
                    : word == "type"  ? c::type
                    : word == "burst" ? c::burst
                    : word == "shot"  ? c::shot
                                      : c::shot_screen;
        out->text = word == "key" ? rest : unquote(rest);
        if (out->text.empty()) return *why = "wants an argument", false;
        return true;
    }
    if (word == "wheel") {
        out->kind = c::wheel;
        int n;
        if (!to_int(a, -kMaxWheelSteps, kMaxWheelSteps, &n) || n == 0 || !b.empty())
            return *why = "wants a non-zero step count from -1000 to 1000", false;
        out->number = n;
        return true;
    }
    if (word == "sleep") {
        out->kind = c::sleep;
        if (!to_number(a, &out->number) || !in_range(out->number, 0, kMaxSeconds) || !b.empty())
            return *why = "wants seconds from 0 to 3600", false;
        return true;
    }
    *why = "unknown command";
    return false;
}

bool key_events(const std::string& name, uint32_t window_id, std::vector<SDL_Event>* first,
                std::vector<SDL_Event>* second) {
    std::vector<const modifier_key*> mods;
    std::string key = name;
    for (bool more = true; more;) {
        more = false;
        for (const modifier_key& m : kModifierKeys) {
            if (key.size() > std::strlen(m.prefix) && starts_with_nocase(key, m.prefix)) {
                mods.push_back(&m);
                key = key.substr(std::strlen(m.prefix));
                more = true;
            }
        }
    }
    SDL_Scancode scan = SDL_GetScancodeFromName(key.c_str());
    if (scan == SDL_SCANCODE_UNKNOWN) return false;
    press_key(scan, mods, window_id, first, second);
    return true;
}

void type_events(uint32_t cp, uint32_t window_id, std::vector<SDL_Event>* first,
                 std::vector<SDL_Event>* second) {
    if (cp >= 32 && cp < 127) {
        char base = static_cast<char>(cp);
        bool shift = false;
        if (base >= 'A' && base <= 'Z') {
            base = static_cast<char>(base - 'A' + 'a');
            shift = true;
        } else if (const char* p = std::strchr(kShifted, base)) {
            base = kUnshifted[p - kShifted];
            shift = true;
        }
        SDL_Scancode scan = us_scancode(base);
        if (scan != SDL_SCANCODE_UNKNOWN) {
            std::vector<const modifier_key*> mods;
            if (shift) mods.push_back(&kModifierKeys[0]);
            press_key(scan, mods, window_id, first, second);
            return;
        }
    }
    first->push_back(text_event(utf8_encode(cp), window_id));
}

input_script* input_script::from_environment() {
    const char* path = std::getenv(input_script_env);
    if (!path || !*path) return nullptr;
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "input script %s cannot be read\n", path);
        std::fflush(nullptr);
        _exit(3);
    }
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return new input_script(std::move(lines));
}

input_script::input_script(std::vector<std::string> lines) : lines_(std::move(lines)) {}

void input_script::fail(const std::string& why) {
    std::string msg = "input script line " + std::to_string(current_ + 1) +
                      " failed: " + trim(current_ < lines_.size() ? lines_[current_] : std::string()) + " (" +
                      why + ")\n";
    std::fputs(msg.c_str(), stderr);
    std::fflush(nullptr);
    std::string dir;
    if (desktop_dir(dir)) {
        if (FILE* f = std::fopen((dir + program_log_name).c_str(), "a")) {
            std::fputs(msg.c_str(), f);
            std::fclose(f);
        }
    }
    // At once: nothing else may write to the log after this line.
    _exit(3);
}

bool input_script::log_holds(const std::string& text) {
    // The log's lines may still sit in its stdio buffer.
    std::fflush(nullptr);
    std::string dir;
    if (!desktop_dir(dir)) return false;
    std::ifstream in(dir + program_log_name, std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t at = all.find(text, log_pos_ <= all.size() ? log_pos_ : all.size());
    if (at == std::string::npos) return false;
    log_pos_ = at + text.size();
    return true;
}

void input_script::push_all(const std::vector<SDL_Event>& events) {
    for (SDL_Event e : events)
        if (SDL_PushEvent(&e) < 0) fail(std::string("SDL refused an event: ") + SDL_GetError());
}

void input_script::before_swap(SDL_Window* w) {
    if (!shot_file_.empty()) save_shot(w);
}

void input_script::save_shot(SDL_Window* w) {
    using read_pixels_fn = void (*)(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*);
    using get_int_fn = void (*)(GLenum, GLint*);
    using set_int_fn = void (*)(GLenum, GLint);
    using read_buffer_fn = void (*)(GLenum);
    auto read_pixels = reinterpret_cast<read_pixels_fn>(SDL_GL_GetProcAddress("glReadPixels"));
    auto get_int = reinterpret_cast<get_int_fn>(SDL_GL_GetProcAddress("glGetIntegerv"));
    auto store = reinterpret_cast<set_int_fn>(SDL_GL_GetProcAddress("glPixelStorei"));
    auto read_buffer = reinterpret_cast<read_buffer_fn>(SDL_GL_GetProcAddress("glReadBuffer"));
    if (!read_pixels || !get_int || !store || !read_buffer) fail("no GL to read the picture with");
    int pw = 0, ph = 0;
    SDL_GL_GetDrawableSize(w, &pw, &ph);
    // Mesa's software path does not give the front buffer back after a swap, so the picture
    // is taken from the back buffer just before it is shown.
    GLint old_buffer = 0, old_align = 0;
    get_int(GL_READ_BUFFER, &old_buffer);
    get_int(GL_PACK_ALIGNMENT, &old_align);
    read_buffer(GL_BACK);
    store(GL_PACK_ALIGNMENT, 1);
    std::vector<unsigned char> px(static_cast<size_t>(pw) * static_cast<size_t>(ph) * 3);
    read_pixels(0, 0, pw, ph, GL_RGB, GL_UNSIGNED_BYTE, px.data());
    store(GL_PACK_ALIGNMENT, old_align);
    read_buffer(static_cast<GLenum>(old_buffer));

    std::string file = shot_file_;
    shot_file_.clear();
    // GL's rows run bottom-up.
    write_png(file, px.data(), pw, ph, -pw * 3);
}

void input_script::save_screen(SDL_Window* w, const std::string& file) {
    std::vector<uint8_t> rgb;
    int sw = 0, sh = 0;
    std::string why;
    if (!read_x11_screen(w, &rgb, &sw, &sh, &why)) fail("cannot read the screen: " + why);
    write_png(file, rgb.data(), sw, sh, sw * 3);
}

void input_script::write_png(const std::string& file, const uint8_t* rgb, int w, int h, int stride) {
    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    img.width = static_cast<png_uint_32>(w);
    img.height = static_cast<png_uint_32>(h);
    img.format = PNG_FORMAT_RGB;
    if (w <= 0 || h <= 0 || !png_image_write_to_file(&img, file.c_str(), 0, rgb, stride, nullptr))
        fail("cannot write " + file + (img.message[0] ? std::string(": ") + img.message : std::string()));
}

void input_script::after_swap(SDL_Window* w) {
    using c = script_command;
    Uint32 wid = SDL_GetWindowID(w);
    int ww = 0, wh = 0;
    SDL_GetWindowSize(w, &ww, &wh);
    (void)ww;
    auto mouse_event = [&](Uint32 type) {
        SDL_Event e;
        std::memset(&e, 0, sizeof e);
        e.type = type;
        if (type == SDL_MOUSEMOTION) {
            e.motion.timestamp = SDL_GetTicks();
            e.motion.windowID = wid;
            e.motion.x = mouse_x_;
            e.motion.y = mouse_y_;
        } else {
            e.button.timestamp = SDL_GetTicks();
            e.button.windowID = wid;
            e.button.button = SDL_BUTTON_LEFT;
            e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
            e.button.clicks = 1;
            e.button.x = mouse_x_;
            e.button.y = mouse_y_;
        }
        push_all({e});
    };

    for (;;) {
        if (cmd_.kind == c::none) {
            if (next_ >= lines_.size()) return;
            current_ = next_++;
            std::string why;
            if (!parse_script_line(lines_[current_], &cmd_, &why)) fail(why);
            phase_ = 0;
            later_.clear();
            if (cmd_.kind == c::none) continue;
            if (cmd_.kind == c::wait_log || cmd_.kind == c::sleep)
                deadline_ms_ = now_ms() + static_cast<uint64_t>(cmd_.number * 1000);
            if (cmd_.kind == c::type) {
                std::vector<uint32_t> cps = code_points(cmd_.text);
                to_type_.assign(cps.begin(), cps.end());
            }
        }
        int phase = phase_++;
        switch (cmd_.kind) {
            case c::wait_log:
                if (log_holds(cmd_.text)) break;
                if (now_ms() > deadline_ms_) fail("the log never showed \"" + cmd_.text + "\"");
                return;
            case c::sleep:
                if (now_ms() >= deadline_ms_) break;
                return;
            case c::move:
            case c::click:
            case c::tap:
            case c::swipe:
                if (phase == 0) {
                    for (size_t i = 0; i < cmd_.points.size(); ++i) {
                        mouse_x_ = cmd_.points[i].first;
                        mouse_y_ = wh - cmd_.points[i].second;
                        mouse_event(SDL_MOUSEMOTION);
                        if (cmd_.kind == c::tap || (cmd_.kind == c::swipe && i == 0))
                            mouse_event(SDL_MOUSEBUTTONDOWN);
                        if (cmd_.kind == c::tap || (cmd_.kind == c::swipe && i == 1))
                            mouse_event(SDL_MOUSEBUTTONUP);
                    }
                    if (cmd_.kind != c::click) cmd_.kind = c::none;
                    return;
                }
                mouse_event(phase == 1 ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP);
                if (phase == 2) cmd_.kind = c::none;
                return;
            case c::press:
            case c::release:
                mouse_event(cmd_.kind == c::press ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP);
                cmd_.kind = c::none;
                return;
            case c::key:
                if (phase == 0) {
                    std::vector<SDL_Event> first;
                    if (!key_events(cmd_.text, wid, &first, &later_)) fail("unknown key name");
                    push_all(first);
                    return;
                }
                push_all(later_);
                cmd_.kind = c::none;
                return;
            case c::type:
                if (!later_.empty()) {
                    push_all(later_);
                    later_.clear();
                    return;
                }
                if (to_type_.empty()) break;
                {
                    std::vector<SDL_Event> first;
                    type_events(to_type_.front(), wid, &first, &later_);
                    to_type_.pop_front();
                    push_all(first);
                }
                return;
            case c::burst:
                for (uint32_t cp : code_points(cmd_.text)) {
                    std::vector<SDL_Event> first, second;
                    type_events(cp, wid, &first, &second);
                    push_all(first);
                    push_all(second);
                }
                cmd_.kind = c::none;
                return;
            case c::wheel: {
                SDL_Event e;
                std::memset(&e, 0, sizeof e);
                e.type = SDL_MOUSEWHEEL;
                e.wheel.timestamp = SDL_GetTicks();
                e.wheel.windowID = wid;
                e.wheel.y = static_cast<Sint32>(cmd_.number);
                e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
                push_all({e});
                cmd_.kind = c::none;
                return;
            }
            case c::shot:
                // Taken before the next swap; the command ends after that swap.
                if (phase == 0) {
                    shot_file_ = cmd_.text;
                    return;
                }
                break;
            case c::shot_screen:
                // At once: the screen shows what the swap just put there.
                save_screen(w, cmd_.text);
                break;
            case c::quit:
            case c::close:
                if (phase == 0) {
                    if (cmd_.kind == c::quit) {
                        SDL_Event e;
                        std::memset(&e, 0, sizeof e);
                        e.type = SDL_QUIT;
                        push_all({e});
                    } else if (std::string why; !send_window_close(w, &why)) {
                        fail("cannot close the window: " + why);
                    }
                    deadline_ms_ = now_ms() + static_cast<uint64_t>(kQuitWait * 1000);
                    return;
                }
                if (now_ms() > deadline_ms_) fail("the program did not end");
                return;
            case c::none:
                break;
        }
        cmd_.kind = c::none;
    }
}

}  // namespace plat
