// The SDL backend's pieces that need no display: SDL events into Mac-shaped records, and the
// input script's lines and key events.
#include "platform/plat_sdl_backend.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>

#include "platform/plat_keys.h"

namespace {
using plat::event;

SDL_Event key(Uint32 type, SDL_Scancode scan, Uint16 mod = KMOD_NONE, int repeat = 0) {
    SDL_Event e;
    std::memset(&e, 0, sizeof e);
    e.type = type;
    e.key.keysym.scancode = scan;
    e.key.keysym.sym = SDL_GetKeyFromScancode(scan);
    e.key.keysym.mod = mod;
    e.key.repeat = static_cast<Uint8>(repeat);
    return e;
}

SDL_Event text(const char* t) {
    SDL_Event e;
    std::memset(&e, 0, sizeof e);
    e.type = SDL_TEXTINPUT;
    std::strcpy(e.text.text, t);
    return e;
}

SDL_Event other(Uint32 type) {
    SDL_Event e;
    std::memset(&e, 0, sizeof e);
    e.type = type;
    return e;
}

// Runs events through a translator the way the backend does: a key-down sees the event behind it.
std::deque<event> translate_all(const std::vector<SDL_Event>& in, plat::sdl_event_translator* t = nullptr) {
    plat::sdl_event_translator local;
    if (!t) t = &local;
    std::deque<event> out;
    for (size_t i = 0; i < in.size(); ++i) {
        const SDL_Event* next = i + 1 < in.size() ? &in[i + 1] : nullptr;
        if (t->translate(in[i], in[i].type == SDL_KEYDOWN ? next : nullptr, out)) ++i;
    }
    return out;
}

struct mac_key {
    int what, code, ch;
    uint32_t mods;
};

mac_key unpack(const event& r) {
    return {r.what, static_cast<int>(r.message >> 8), static_cast<int>(r.message & 0xFF), r.modifiers};
}

void expect_key(const event& r, mac_key want, const std::string& what) {
    mac_key got = unpack(r);
    EXPECT_EQ(got.what, want.what) << what;
    EXPECT_EQ(got.code, want.code) << what;
    EXPECT_EQ(got.ch, want.ch) << what;
    EXPECT_EQ(got.mods, want.mods) << what;
}

TEST(SdlKeys, KeysBecomeMacRecordsWithTheirTextAndControlCharacters) {
    struct row {
        std::vector<SDL_Event> in;
        mac_key down;
        const char* what;
    };
    const row rows[] = {
        {{key(SDL_KEYDOWN, SDL_SCANCODE_A), text("a")}, {3, 0, 'a', 0}, "a"},
        {{key(SDL_KEYDOWN, SDL_SCANCODE_A, KMOD_LSHIFT), text("A")}, {3, 0, 'A', 0x200}, "shift+a"},
        {{key(SDL_KEYDOWN, SDL_SCANCODE_A, KMOD_LGUI)}, {3, 0, 0, 0x100}, "command-a types nothing"},
        {{key(SDL_KEYDOWN, SDL_SCANCODE_Q), text("a")},
         {3, 12, 'a', 0},
         "French layout: a at the Q position"},
        {{key(SDL_KEYDOWN, SDL_SCANCODE_RETURN)}, {3, 0x24, 13, 0}, "Return"},
        {{key(SDL_KEYDOWN, SDL_SCANCODE_KP_ENTER)}, {3, 0x4C, 3, 0}, "keypad Enter"},
        {{key(SDL_KEYDOWN, SDL_SCANCODE_BACKSPACE)}, {3, 0x33, 8, 0}, "Backspace"},
        {{key(SDL_KEYDOWN, SDL_SCANCODE_DELETE)}, {3, 0x75, 127, 0}, "forward Delete"},
        {{key(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE)}, {3, 0x35, 27, 0}, "Escape"},
        {{key(SDL_KEYDOWN, SDL_SCANCODE_LEFT)}, {3, 0x7B, 28, 0}, "Left"},
        {{key(SDL_KEYDOWN, SDL_SCANCODE_F1)}, {3, 0x7A, 16, 0}, "F1"},
        {{key(SDL_KEYDOWN, SDL_SCANCODE_PAGEDOWN)}, {3, 0x79, 12, 0}, "PageDown"},
        {{key(SDL_KEYDOWN, SDL_SCANCODE_AUDIOPLAY)},
         {3, plat::mac_code_none, 0, 0},
         "a key without a Mac code"},
        // SDL's NumLock bit is the Mac control bit and its left Alt the command bit.
        {{key(SDL_KEYDOWN, SDL_SCANCODE_KP_PERIOD, KMOD_NUM), text(".")}, {3, 0x41, '.', 0}, "NumLock held"},
        {{key(SDL_KEYDOWN, SDL_SCANCODE_X, KMOD_LALT)}, {3, 7, 0, 0x800}, "left Alt is option"},
        {{key(SDL_KEYDOWN, SDL_SCANCODE_A, KMOD_LSHIFT, 1), text("A")}, {5, 0, 'A', 0x200}, "auto-repeat"},
    };
    for (const row& r : rows) {
        std::deque<event> out = translate_all(r.in);
        ASSERT_EQ(out.size(), 1u) << r.what;
        expect_key(out[0], r.down, r.what);
    }
}

TEST(SdlKeys, KeyUpCarriesTheCharacterOfItsDownAndModifierKeysGiveNoRecords) {
    plat::sdl_event_translator t;
    std::deque<event> out = translate_all(
        {key(SDL_KEYDOWN, SDL_SCANCODE_LSHIFT, KMOD_LSHIFT),
         key(SDL_KEYDOWN, SDL_SCANCODE_SLASH, KMOD_LSHIFT), text("?"),
         key(SDL_KEYUP, SDL_SCANCODE_LSHIFT, KMOD_NONE), key(SDL_KEYUP, SDL_SCANCODE_SLASH, KMOD_NONE)},
        &t);
    ASSERT_EQ(out.size(), 2u);
    expect_key(out[0], {3, 0x2C, '?', 0x200}, "down");
    expect_key(out[1], {4, 0x2C, '?', 0}, "up, after shift went up");
    EXPECT_EQ(t.modifiers, 0u);
}

TEST(SdlKeys, TextWithoutAKeyBecomesADownAndUpOfTheKeylessCode) {
    std::deque<event> out = translate_all({text("\xC3\xA9"), text("\xE2\x82\xAC")});
    ASSERT_EQ(out.size(), 4u);
    expect_key(out[0], {3, 255, 0xE9, 0}, "e acute down");
    expect_key(out[1], {4, 255, 0xE9, 0}, "e acute up");
    expect_key(out[2], {3, 255, 0, 0}, "euro sign: no Latin-1 byte");
    // The down carries the whole character, as does a key's down with its text.
    EXPECT_EQ(out[0].text, 0xE9u);
    EXPECT_EQ(out[2].text, 0x20ACu);
    out = translate_all({key(SDL_KEYDOWN, SDL_SCANCODE_O), text("\xCE\xA9")});
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].text, 0x3A9u);
}

TEST(SdlEvents, PointerWheelWindowAndQuit) {
    SDL_Event move = other(SDL_MOUSEMOTION);
    move.motion.x = 120;
    move.motion.y = 40;
    SDL_Event right = other(SDL_MOUSEBUTTONDOWN);
    right.button.button = SDL_BUTTON_RIGHT;
    right.button.x = 121;
    right.button.y = 41;
    SDL_Event left_down = other(SDL_MOUSEBUTTONDOWN);
    left_down.button.button = SDL_BUTTON_LEFT;
    left_down.button.x = 122;
    left_down.button.y = 42;
    SDL_Event left_up = left_down;
    left_up.type = SDL_MOUSEBUTTONUP;
    SDL_Event wheel = other(SDL_MOUSEWHEEL);
    wheel.wheel.y = 2;
    wheel.wheel.direction = SDL_MOUSEWHEEL_FLIPPED;
    SDL_Event sideways = other(SDL_MOUSEWHEEL);
    sideways.wheel.x = 1;
    SDL_Event still = other(SDL_MOUSEWHEEL);
    SDL_Event expose = other(SDL_WINDOWEVENT);
    expose.window.event = SDL_WINDOWEVENT_EXPOSED;
    SDL_Event focus = other(SDL_WINDOWEVENT);
    focus.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
    SDL_Event blur = focus;
    blur.window.event = SDL_WINDOWEVENT_FOCUS_LOST;

    plat::sdl_event_translator t;
    std::deque<event> out = translate_all({move, right}, &t);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(t.mouse_x, 121);
    EXPECT_EQ(t.mouse_y, 41);
    out =
        translate_all({left_down, left_up, wheel, sideways, still, expose, focus, blur, other(SDL_QUIT)}, &t);
    std::vector<int> whats;
    for (const event& r : out) whats.push_back(r.what);
    EXPECT_EQ(whats,
              (std::vector<int>{plat::ev_mouse_down, plat::ev_mouse_up, plat::ev_wheel, plat::ev_wheel,
                                plat::ev_update, plat::ev_activate, plat::ev_activate, plat::ev_quit}));
    EXPECT_EQ(out[2].wheel, -2);
    EXPECT_EQ(out[3].wheel, 1);
    EXPECT_EQ(out[5].modifiers, plat::activate_flag);
    EXPECT_EQ(out[6].modifiers, 0u);
}

TEST(SdlKeys, KeysThatTypeNothingCarryTheMacControlCharacters) {
    const std::pair<SDL_Scancode, int> rows[] = {
        {SDL_SCANCODE_TAB, 9},     {SDL_SCANCODE_HOME, 1},          {SDL_SCANCODE_END, 4},
        {SDL_SCANCODE_PAGEUP, 11}, {SDL_SCANCODE_INSERT, 5},        {SDL_SCANCODE_UP, 30},
        {SDL_SCANCODE_DOWN, 31},   {SDL_SCANCODE_RIGHT, 29},        {SDL_SCANCODE_F12, 16},
        {SDL_SCANCODE_F13, 16},    {SDL_SCANCODE_NUMLOCKCLEAR, 27}, {SDL_SCANCODE_A, 0},
        {SDL_SCANCODE_LSHIFT, 0},
    };
    for (const auto& r : rows) EXPECT_EQ(plat::mac_control_char(r.first), r.second) << r.first;
}

TEST(SdlKeys, LayoutCharactersAndUtf8) {
    EXPECT_EQ(plat::layout_char_from_keysym('a'), 'a');
    EXPECT_EQ(plat::layout_char_from_keysym(SDLK_RETURN), 13);
    EXPECT_EQ(plat::layout_char_from_keysym(SDLK_KP_7), '7');
    EXPECT_EQ(plat::layout_char_from_keysym(SDLK_KP_PERIOD), '.');
    EXPECT_EQ(plat::layout_char_from_keysym(SDLK_KP_ENTER), 3);
    EXPECT_EQ(plat::layout_char_from_keysym(SDLK_F1), -1);
    EXPECT_EQ(plat::layout_char_from_keysym(SDLK_LEFT), -1);
    EXPECT_EQ(plat::mac_char_from_utf8("\xC2\xA0"), 0xA0);
    EXPECT_EQ(plat::mac_char_from_utf8("\xC4\x80"), 0);
    EXPECT_EQ(plat::mac_char_from_utf8(""), 0);
    EXPECT_EQ(plat::code_point_from_utf8("\xF0\x9F\x98\x80"), 0x1F600u);
    EXPECT_EQ(plat::code_point_from_utf8("\xC1\x81"), 0u);  // not the shortest form
    EXPECT_EQ(plat::code_point_from_utf8("\xCE"), 0u);
}

TEST(InputScript, LinesParseIntoCommandsOrSayWhatIsWrong) {
    using c = plat::script_command;
    struct row {
        const char* line;
        c::kind_t kind;
        const char* text;
        double number;
        int x, y;
    };
    const row good[] = {
        {"  # a comment", c::none, "", 0, 0, 0},
        {"", c::none, "", 0, 0, 0},
        {"wait_log Starting application.", c::wait_log, "Starting application.", 60, 0, 0},
        {"wait_log frame 12 5", c::wait_log, "frame 12", 5, 0, 0},
        {"wait_log \"frame 12\"", c::wait_log, "frame 12", 60, 0, 0},
        {"wait_log \"a b\" 2.5", c::wait_log, "a b", 2.5, 0, 0},
        {"click 400 300", c::click, "", 0, 400, 300},
        {"tap 400 300", c::tap, "", 0, 400, 300},
        {"tap 400 300 -5 7", c::tap, "", 0, 400, 300},
        {"swipe 720 23 600 23", c::swipe, "", 0, 720, 23},
        {"burst \"fast  words\"", c::burst, "fast  words", 0, 0, 0},
        {"move -5 7", c::move, "", 0, -5, 7},
        {"press", c::press, "", 0, 0, 0},
        {"key shift+Keypad Enter", c::key, "shift+Keypad Enter", 0, 0, 0},
        {"type \"two  words\"", c::type, "two  words", 0, 0, 0},
        {"wheel -3", c::wheel, "", -3, 0, 0},
        {"shot out/first.png\r", c::shot, "out/first.png", 0, 0, 0},
        {"sleep 0.5", c::sleep, "", 0.5, 0, 0},
        {"quit", c::quit, "", 0, 0, 0},
        {"close", c::close, "", 0, 0, 0},
        {"move -32767 32767", c::move, "", 0, -32767, 32767},
        {"wait_log \"x\" 3600", c::wait_log, "x", 3600, 0, 0},
        {"wait_log Disc -1", c::wait_log, "Disc -1", 60, 0, 0},  // a negative last word is text
    };
    for (const row& r : good) {
        c cmd;
        std::string why;
        ASSERT_TRUE(plat::parse_script_line(r.line, &cmd, &why)) << r.line << ": " << why;
        EXPECT_EQ(cmd.kind, r.kind) << r.line;
        EXPECT_EQ(cmd.text, r.text) << r.line;
        EXPECT_EQ(cmd.number, r.number) << r.line;
        EXPECT_EQ(cmd.x, r.x) << r.line;
        EXPECT_EQ(cmd.y, r.y) << r.line;
    }
    c taps;
    std::string why;
    ASSERT_TRUE(plat::parse_script_line("tap 400 300 -5 7", &taps, &why));
    EXPECT_EQ(taps.points, (std::vector<std::pair<int, int>>{{400, 300}, {-5, 7}}));
    for (const char* bad : {"jump 1", "click 1", "click 1 2 3", "click a b", "wheel 0", "sleep -1", "key",
                            "wait_log", "wait_log \"open", "quit now", "close now", "shot", "tap", "tap 1 2 3",
                            "swipe 1 2", "swipe 1 2 3 4 5", "burst"}) {
        c cmd;
        std::string why;
        EXPECT_FALSE(plat::parse_script_line(bad, &cmd, &why)) << bad;
        EXPECT_FALSE(why.empty()) << bad;
    }
    // Numbers out of range are refused before anything converts them, with the range named.
    const std::pair<const char*, const char*> out_of_range[] = {
        {"click 1e20 5", "from -32767 to 32767"}, {"click 1e9 5", "from -32767 to 32767"},
        {"move 5 -40000", "from -32767 to 32767"}, {"click 1.5 2", "whole numbers"},
        {"click nan 2", "whole numbers"},          {"wheel 1e9", "from -1000 to 1000"},
        {"sleep inf", "from 0 to 3600"},           {"sleep nan", "from 0 to 3600"},
        {"sleep 3601", "from 0 to 3600"},          {"wait_log x inf", "from 0 to 3600"},
        {"wait_log \"x\" 1e10", "from 0 to 3600"}, {"wait_log \"x\" nan", "from 0 to 3600"},
    };
    for (const auto& [bad, range] : out_of_range) {
        c cmd;
        std::string why;
        EXPECT_FALSE(plat::parse_script_line(bad, &cmd, &why)) << bad;
        EXPECT_NE(why.find(range), std::string::npos) << bad << ": " << why;
    }
}

// What the script's key command makes, as the frame loop will see it.
TEST(InputScript, KeyCommandsArriveAsTheMacRecordsOfThatKey) {
    struct row {
        const char* name;
        mac_key down;
    };
    const row rows[] = {
        {"a", {3, 0, 'a', 0}},         {"shift+a", {3, 0, 'A', 0x200}},   {"SHIFT+2", {3, 0x13, '@', 0x200}},
        {"ctrl+a", {3, 0, 0, 0x1000}}, {"Keypad Enter", {3, 0x4C, 3, 0}}, {"Keypad .", {3, 0x41, '.', 0}},
    };
    for (const row& r : rows) {
        std::vector<SDL_Event> first, second;
        ASSERT_TRUE(plat::key_events(r.name, 7, &first, &second)) << r.name;
        plat::sdl_event_translator t;
        std::deque<event> down = translate_all(first, &t);
        std::deque<event> up = translate_all(second, &t);
        ASSERT_EQ(down.size(), 1u) << r.name;
        ASSERT_EQ(up.size(), 1u) << r.name;
        expect_key(down[0], r.down, r.name);
        EXPECT_EQ(up[0].what, plat::ev_key_up) << r.name;
        EXPECT_EQ(up[0].message, down[0].message) << r.name;
        EXPECT_EQ(t.modifiers, 0u) << r.name << ": every modifier released";
        EXPECT_EQ(first.front().key.windowID, 7u);
    }
    std::vector<SDL_Event> first, second;
    EXPECT_FALSE(plat::key_events("shift+Nosuchkey", 7, &first, &second));
}

TEST(InputScript, TypedCharactersUseTheirKeysOrTextAlone) {
    struct row {
        uint32_t cp;
        mac_key down;
    };
    const row rows[] = {{'q', {3, 12, 'q', 0}},
                        {'Q', {3, 12, 'Q', 0x200}},
                        {'?', {3, 0x2C, '?', 0x200}},
                        {' ', {3, 0x31, ' ', 0}},
                        {0xE9, {3, 255, 0xE9, 0}}};
    for (const row& r : rows) {
        std::vector<SDL_Event> first, second;
        plat::type_events(r.cp, 1, &first, &second);
        std::deque<event> out = translate_all(first);
        ASSERT_FALSE(out.empty()) << r.cp;
        expect_key(out[0], r.down, std::to_string(r.cp));
    }
}

}  // namespace
