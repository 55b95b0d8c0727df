#include "shell/keys.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/named_commands.h"
#include "core/window_state.h"
#include "platform/plat_keys.h"
#include "platform/plat_sdl_backend.h"
#include "platform/plat_window_null.h"
#include "widgets/focus_ring.h"

namespace {

constexpr long kDown = 3, kUp = 4, kRepeat = 5;

class Keys : public ::testing::Test {
protected:
    void SetUp() override {
        mnw = mnw_defaults();
        keys = keys_class();
        return_hit = escape_hit = delete_hit = 0;
        BTN_begin_focus_ring();
        BTN_unfocus_any();
    }
    // One key event: Mac key code, typed character, Mac modifier bits.
    void key(long what, int code, int ch, long mods = 0) {
        keys.handle_key_raw(what, (code << 8) | ch, mods);
    }

    plat::scoped_null_backend backend;
};

TEST(KeyTables, EveryKeyTheProgramKnowsHasAnSdlKey) {
    for (int code = 0; code < 256; ++code) {
        if (qorv_Key_Map[code] == 0) continue;
        int scan = plat::scancode_from_mac_code(code);
        EXPECT_NE(scan, 0) << "Mac code " << code;
        EXPECT_EQ(plat::mac_code_from_scancode(scan), code);
    }
    EXPECT_EQ(qorv_Key_Map[plat::mac_code_none], 0) << "a key without a Mac code is no key, not A";
}

// The name table by the groups of keys it lists, in order: 110 rows, then the closing row.
TEST(KeyTables, EveryVirtualKeyHasItsSymbolAndName) {
    struct row {
        int vkey;
        std::string symbol, name;
    };
    std::vector<row> want;
    auto add = [&](std::vector<int> vkeys, std::vector<std::string> symbols, std::vector<std::string> names) {
        for (size_t i = 0; i < vkeys.size(); ++i) want.push_back({vkeys[i], "QORV_VK_" + symbols[i], names[i]});
    };
    add({8, 9, 12, 13, 27, 32}, {"BACK", "TAB", "CLEAR", "RETURN", "ESCAPE", "SPACE"},
        {"Backspace", "Tab", "Clear", "Return", "Escape", "Space"});
    add({33, 34, 35, 36, 37, 38, 39, 40}, {"PRIOR", "NEXT", "END", "HOME", "LEFT", "UP", "RIGHT", "DOWN"},
        {"PageUp", "PageDown", "End", "Home", "Left", "Up", "Right", "Down"});
    add({41, 42, 43, 44, 45, 46, 47}, {"SELECT", "PRINT", "EXECUTE", "SNAPSHOT", "INSERT", "DELETE", "HELP"},
        {"Select", "Print", "Execute", "Snapshot", "Insert", "Delete", "Help"});
    for (int d = 0; d < 10; ++d) add({48 + d}, {std::to_string(d)}, {std::to_string(d)});
    for (char c = 'A'; c <= 'Z'; ++c) add({c}, {std::string(1, c)}, {std::string(1, c)});
    for (int d = 0; d < 10; ++d) add({96 + d}, {"NUMPAD" + std::to_string(d)}, {"Numpad-" + std::to_string(d)});
    add({106, 107, 109, 110, 111}, {"MULTIPLY", "ADD", "SUBTRACT", "DECIMAL", "DIVIDE"},
        {"Numpad-*", "Numpad-+", "Numpad--", "Numpad-.", "Numpad-/"});
    for (int f = 1; f <= 24; ++f) add({111 + f}, {"F" + std::to_string(f)}, {"F" + std::to_string(f)});
    add({176, 177, 178, 179, 180, 181, 182, 183, 184, 185, 186},
        {"EQUAL", "MINUS", "RBRACE", "LBRACE", "QUOTE", "SEMICOLON", "BACKSLASH", "COMMA", "SLASH", "PERIOD",
         "BACKQUOTE"},
        {"=", "-", "]", "[", "'", ";", "\\", ",", "/", ".", "`"});
    add({187, 188, 189}, {"ENTER", "NUMPAD_ENT", "NUMPAD_EQ"}, {"Enter", "Numpad-Enter", "Numpad-="});
    ASSERT_EQ(want.size(), 110u);
    for (size_t i = 0; i < want.size(); ++i) {
        const key_name_row& r = kKeyNameTable[i];
        ASSERT_TRUE(r.name && r.symbol) << "row " << i;
        EXPECT_EQ(r.vkey, want[i].vkey) << want[i].name;
        EXPECT_EQ(r.symbol, want[i].symbol);
        EXPECT_EQ(r.name, want[i].name);
    }
    EXPECT_EQ(kKeyNameTable[110].name, nullptr);
    EXPECT_EQ(kKeyNameTable[110].symbol, nullptr);
}

// A Mac key code gives the vkey of the key at that place on a US keyboard, by SDL's name of it.
TEST(KeyTables, EachMacCodeGivesTheVkeyOfTheKeyAtItsPlace) {
    // SDL's names of the keys the name table calls otherwise; the Mac's keys beyond F12 and its
    // Help key have no vkey.
    const std::map<int, std::string> renamed = {{SDL_SCANCODE_NONUSBACKSLASH, "\\"},
                                                {SDL_SCANCODE_RETURN2, "Enter"},
                                                {SDL_SCANCODE_NUMLOCKCLEAR, "Clear"},
                                                {SDL_SCANCODE_INSERT, ""}};
    for (int code = 0; code < 256; ++code) {
        const int scan = plat::scancode_from_mac_code(code);
        std::string name = scan ? SDL_GetScancodeName(static_cast<SDL_Scancode>(scan)) : "";
        if (name.rfind("Keypad ", 0) == 0) name = "Numpad-" + name.substr(7);
        if (renamed.count(scan)) name = renamed.at(scan);
        if (scan >= SDL_SCANCODE_F13 && scan <= SDL_SCANCODE_F24) name.clear();
        const int want = name.empty() ? 0 : keys_class::str_to_vkey(name);
        EXPECT_EQ(qorv_Key_Map[code], want) << "Mac code " << code << " (" << name << ")";
    }
}

// Each character's key and shift on a US keyboard: capitals and the shifted symbols sit on the
// keys of their lower-case letters and unshifted symbols.
TEST(KeyTables, EveryCharacterFindsItsKeyOnAUsKeyboard) {
    const std::string plain = "`1234567890-=[]\\;',./", shifted = "~!@#$%^&*()_+{}|:\"<>?";
    int vkey = -1, shift = -1;
    const std::pair<int, int> controls[] = {{13, 13}, {27, 27}, {9, 9}, {8, 8}, {28, 37}, {29, 39}, {30, 38}, {31, 40}};
    for (const auto& c : controls) {
        ASSERT_EQ(keys_class::ascii_to_vkey(c.first, vkey, shift), 1) << c.first;
        EXPECT_EQ(vkey, c.second) << c.first;
        EXPECT_EQ(shift, 0) << c.first;
    }
    for (int c = 32; c < 127; ++c) {
        ASSERT_EQ(keys_class::ascii_to_vkey(c, vkey, shift), 1) << c;
        std::string key(1, static_cast<char>(c));
        int want_shift = c >= 'A' && c <= 'Z' ? 1 : 0;
        const size_t s = shifted.find(static_cast<char>(c));
        if (c == ' ') key = "Space";
        if (s != std::string::npos) key = std::string(1, plain[s]), want_shift = 1;
        EXPECT_EQ(vkey, keys_class::str_to_vkey(key)) << static_cast<char>(c);
        EXPECT_EQ(shift, want_shift) << static_cast<char>(c);
    }
}

TEST_F(Keys, VkeysFollowThePrintedCharacterForLettersAndThePositionForTheRest) {
    struct row {
        int code;
        int layout;  // the layout's character, -1 none
        long mods;
        int ch;
        int vkey, flags, last_char;
        const char* what;
    };
    const row rows[] = {
        {0, -1, 0, 'a', 65, 0, 'a', "A without a layout: the hardware table"},
        {0, 'a', 0x200, 'A', 65, 1, 'A', "shift+A"},
        {12, 'a', 0, 'a', 65, 0, 'a', "French layout: A sits at the Q position"},
        {0, 'q', 0, 'q', 81, 0, 'q', "French layout: Q sits at the A position"},
        {18, '&', 0, '&', 49, 0, '&', "digits follow their position"},
        {0, 'a', 0x100, 'a', 65, 0, 0, "command-A types no character"},
        {0, 'a', 0x1800, 'a', 65, 6, 0, "option and control"},
        {65, '.', 0, '.', 185, 0, '.', "keypad '.' reads as the period key"},
        {75, '/', 0, '/', 184, 0, '/', "keypad '/' reads as the slash key"},
        {76, 3, 0, 3, 188, 0, 3, "keypad Enter"},
        {122, -1, 0, 16, 112, 0, 16, "F1"},
    };
    for (const row& r : rows) {
        backend->layout.clear();
        if (r.layout >= 0) backend->layout[r.code] = r.layout;
        mnw.last_char = 0;
        key(kDown, r.code, r.ch, r.mods);
        EXPECT_EQ(keys.last_vkey, r.vkey) << r.what;
        EXPECT_EQ(keys.last_flags, r.flags) << r.what;
        EXPECT_EQ(mnw.last_char, r.last_char) << r.what;
    }
    // The keys that follow their printed character on any layout, here on the grave key's place.
    for (char c : std::string("\r\t. abcdefghijklmnopqrstuvwxyz][';\\,/`")) {
        backend->layout[50] = c;
        key(kDown, 50, c);
        int vkey = 0, shift = 0;
        keys_class::ascii_to_vkey(c, vkey, shift);
        EXPECT_EQ(keys.last_vkey, vkey) << c;
    }
    backend->layout[50] = '1';
    key(kDown, 50, '1');
    EXPECT_EQ(keys.last_vkey, 186) << "a digit follows the key's place";
}

TEST_F(Keys, FrameFlagsOnKeyDownOnly) {
    struct row {
        int code, ch;
        long what;
        int ret, esc, del;
    };
    const row rows[] = {
        {36, 13, kDown, 1, 0, 0}, {52, 3, kDown, 1, 0, 0},    {76, 3, kDown, 0, 0, 0},
        {53, 27, kDown, 0, 1, 0}, {51, 8, kDown, 0, 0, 1},    {117, 127, kDown, 0, 0, 1},
        {36, 13, kUp, 0, 0, 0},   {53, 27, kRepeat, 0, 1, 0},
    };
    for (const row& r : rows) {
        return_hit = escape_hit = delete_hit = 0;
        key(r.what, r.code, r.ch);
        EXPECT_EQ(return_hit, r.ret) << r.code << " what " << r.what;
        EXPECT_EQ(escape_hit, r.esc) << r.code << " what " << r.what;
        EXPECT_EQ(delete_hit, r.del) << r.code << " what " << r.what;
    }
}

TEST_F(Keys, TheFocusedWidgetTakesItsKeysFirst) {
    int chars[4] = {}, vkeys[4] = {}, flags[4] = {}, ids[4] = {}, count = 0;
    BTN_register_focus(77, chars, vkeys, flags, ids, &count, 4, focus_mask_text | focus_return, 1);
    key(kDown, 36, 13);
    key(kDown, 0, 'a');
    EXPECT_EQ(return_hit, 0);
    EXPECT_EQ(mnw.last_char, 0);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(vkeys[0], 13);
    EXPECT_EQ(flags[0], key_down);
    EXPECT_EQ(chars[1], 'a');
    // Escape is not among a text field's keys: it reaches the frame flags.
    key(kDown, 53, 27);
    EXPECT_EQ(escape_hit, 1);
    // A character beyond the message's 8 bits reaches the widget whole; with command held, nothing.
    keys.handle_key_raw(kDown, (255 << 8) | 0, 0, 0x3A9);
    keys.handle_key_raw(kDown, (255 << 8) | 0, plat::mac_cmd_key, 0x3A9);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(chars[2], 0x3A9);
}

// Through SDL's events as the frame loop takes them: AltGr (right Alt, on some layouts with
// SDL's mode bit) reaches a layout's third level, whose characters go to the focused field; left
// Alt stays the option key of the bindings and types nothing.
TEST_F(Keys, CharactersTypedWithAltGrReachTheFocusedField) {
    plat::sdl_event_translator tr;
    auto press = [&](SDL_Scancode scan, Uint16 mod, const char* text) {
        SDL_Event down{}, typed{};
        down.type = SDL_KEYDOWN;
        down.key.keysym.scancode = scan;
        down.key.keysym.mod = mod;
        typed.type = SDL_TEXTINPUT;
        std::strcpy(typed.text.text, text);
        std::deque<plat::event> out;
        tr.translate(down, &typed, out);
        for (const plat::event& ev : out) keys.handle_key_raw(ev.what, ev.message, ev.modifiers, ev.text);
    };
    int chars[8] = {}, vkeys[8] = {}, flags[8] = {}, ids[8] = {}, count = 0;
    BTN_register_focus(77, chars, vkeys, flags, ids, &count, 8, focus_mask_text, 1);
    press(SDL_SCANCODE_Q, KMOD_RALT, "@");                         // German
    press(SDL_SCANCODE_E, KMOD_RALT | KMOD_MODE, "\xE2\x82\xAC");  // German euro sign
    press(SDL_SCANCODE_A, KMOD_RALT, "\xC4\x85");                  // Polish a ogonek
    press(SDL_SCANCODE_L, KMOD_MODE, "\xC5\x82");                  // Polish l stroke
    ASSERT_EQ(count, 4);
    EXPECT_EQ(chars[0], '@');
    EXPECT_EQ(chars[1], 0x20AC);
    EXPECT_EQ(chars[2], 0x105);
    EXPECT_EQ(chars[3], 0x142);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(flags[i], key_down) << i;

    press(SDL_SCANCODE_Q, KMOD_LALT, "q");
    EXPECT_TRUE(count == 4 || chars[4] == 0) << "left Alt types nothing";
    int cmd = cmnd.add_cmd("sim/test/option_q", "test");
    keys.bindings.push_back(key_binding{81, key_option, cmd, 0});
    BTN_unfocus_any();
    press(SDL_SCANCODE_Q, KMOD_LALT, "q");
    EXPECT_EQ(cmnd.counter(cmd), 1);
}

TEST_F(Keys, BindingsPressOnDownRepeatWhileHeldAndReleaseWhateverTheModifiers) {
    int cmd = cmnd.add_cmd("sim/test/escape", "test");
    keys.bindings.push_back(key_binding{27, key_shift, cmd, 0});
    key(kDown, 53, 27);
    EXPECT_EQ(cmnd.counter(cmd), 0) << "shift is part of the binding";
    key(kDown, 53, 27, 0x200);
    EXPECT_EQ(cmnd.counter(cmd), 1);
    EXPECT_EQ(keys.key_bound_to(27, key_shift), cmd);
    keys.run_repeat_keys();
    key(kUp, 53, 27);
    EXPECT_EQ(cmnd.counter(cmd), 0) << "released after shift went up first";
    EXPECT_EQ(keys.bindings[0].pressed, 0);

    // Muted key commands: only Return and Enter still reach the bindings.
    int ret = cmnd.add_cmd("sim/test/return", "test");
    keys.bindings.push_back(key_binding{13, 0, ret, 0});
    keys.bindings.push_back(key_binding{65, 0, cmd, 0});
    mnw.keys_muted = 1;
    key(kDown, 0, 'a');
    key(kDown, 36, 13);
    EXPECT_EQ(cmnd.counter(cmd), 0);
    EXPECT_EQ(cmnd.counter(ret), 1);
    keys.bindings.push_back(key_binding{187, 0, ret, 0});
    keys.handle_key(0, 187, key_down);
    keys.handle_key(0, 65, key_down);
    EXPECT_EQ(cmnd.counter(ret), 2);
    EXPECT_EQ(cmnd.counter(cmd), 0);
}

TEST_F(Keys, ReturnInASubWindowClosesItAndPressesNothingElse) {
    int ret = cmnd.add_cmd("sim/test/return2", "test");
    keys.bindings.push_back(key_binding{13, 0, ret, 0});
    mnw.curwin = 997;
    mnw.subwin_dx = 700;
    mnw.subwin_dy = 206;
    key(kDown, 36, 13);
    EXPECT_EQ(mnw.curwin, 0);
    EXPECT_EQ(return_hit, 0) << "the closing Return must not also press the dialog's default button";
    EXPECT_EQ(cmnd.counter(ret), 0);

    // The alert is closed by its own button: Return stays for it to read.
    mnw.curwin = 994;
    key(kDown, 36, 13);
    EXPECT_EQ(mnw.curwin, 994);
    EXPECT_EQ(return_hit, 1);
    EXPECT_EQ(cmnd.counter(ret), 0);
}

TEST(KeyTexts, ConversionsBetweenKeysFlagsAndTexts) {
    EXPECT_EQ(keys_class::flag_to_str(7), "SHIFT+ALT+CTRL");
    EXPECT_EQ(keys_class::flag_to_str(4), "CTRL");
    EXPECT_EQ(keys_class::flag_to_str(0), "<none>");
    EXPECT_EQ(keys_class::flag_to_code(0), "0");
    EXPECT_EQ(keys_class::flag_to_code(5), "qorv_ShiftFlag+qorv_ControlFlag");
    EXPECT_EQ(keys_class::str_to_flag("CTRL+SHIFT"), 5);
    EXPECT_EQ(keys_class::str_to_flag("alt"), 0);
    EXPECT_EQ(keys_class::vkey_to_str(200), "<none>");
    EXPECT_EQ(keys_class::vkey_to_str(182), "\\");
    EXPECT_EQ(keys_class::vkey_to_code(200), "200");
    EXPECT_EQ(keys_class::vkey_to_code(188), "QORV_VK_NUMPAD_ENT");
    EXPECT_EQ(keys_class::str_to_vkey("pageup"), 33);
    EXPECT_EQ(keys_class::str_to_vkey("Numpad--"), 109);
    EXPECT_EQ(keys_class::str_to_vkey("nothing"), 0);

    struct row {
        int ascii, vkey, shift, found;
    };
    for (row r : {row{13, 13, 0, 1}, row{28, 37, 0, 1}, row{'?', 184, 1, 1}, row{'A', 65, 1, 1},
                  row{'a', 65, 0, 1}, row{'~', 186, 1, 1}, row{0, 0, 0, 0}, row{127, 0, 0, 0}}) {
        int vkey = -1, shift = -1;
        EXPECT_EQ(keys_class::ascii_to_vkey(r.ascii, vkey, shift), r.found) << r.ascii;
        EXPECT_EQ(vkey, r.vkey) << r.ascii;
        EXPECT_EQ(shift, r.shift) << r.ascii;
    }

    keys_class k;
    k.bindings = {{33, 0, 5, 0}, {65, key_shift, 6, 0}};
    EXPECT_EQ(k.get_key_for_cmnd(5), "pageUp");
    EXPECT_EQ(k.get_key_for_cmnd(6), "SHIFT-a");
    EXPECT_EQ(k.get_key_for_cmnd(7), "");
    k.keys_io(1);
    EXPECT_EQ(k.bindings.size(), 2u);
    k.keys_io(0);
    ASSERT_EQ(k.bindings.size(), 1u);
    EXPECT_EQ(k.bindings[0].command, 0);
    EXPECT_EQ(k.bindings[0].pressed, 0);
}

}  // namespace
