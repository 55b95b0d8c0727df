#include "platform/plat_keys.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include "shell/modifier_keys.h"

TEST(PlatKeys, SdlModifiersBecomeMacBits) {
    EXPECT_EQ(plat::mac_modifiers_from_sdl(KMOD_NONE), 0);
    EXPECT_EQ(plat::mac_modifiers_from_sdl(KMOD_LSHIFT), 1 << 9);
    EXPECT_EQ(plat::mac_modifiers_from_sdl(KMOD_RSHIFT), 1 << 9);
    EXPECT_EQ(plat::mac_modifiers_from_sdl(KMOD_CAPS), 1 << 10);
    EXPECT_EQ(plat::mac_modifiers_from_sdl(KMOD_RALT), 1 << 11);
    EXPECT_EQ(plat::mac_modifiers_from_sdl(KMOD_LCTRL), 1 << 12);
    EXPECT_EQ(plat::mac_modifiers_from_sdl(KMOD_LGUI), 1 << 8);
    EXPECT_EQ(plat::mac_modifiers_from_sdl(KMOD_NUM | KMOD_MODE), 0);
    EXPECT_EQ(plat::mac_modifiers_from_sdl(KMOD_LSHIFT | KMOD_CAPS | KMOD_LALT), 0x0E00);
}

TEST(PlatKeys, QueriesWorkWithoutSdlInitialised) {
    ASSERT_EQ(SDL_WasInit(0), 0u);
    EXPECT_EQ(plat::key_modifiers(), 0);
    EXPECT_EQ(has_shiftkey(), 0);
    EXPECT_EQ(has_capslock(), 0);
    EXPECT_EQ(has_optionkey(), 0);
    // SDL keeps the state in a plain variable that needs no initialisation either.
    SDL_SetModState(static_cast<SDL_Keymod>(KMOD_LSHIFT | KMOD_CAPS));
    EXPECT_EQ(has_shiftkey(), 1);
    EXPECT_EQ(has_capslock(), 1);
    EXPECT_EQ(has_optionkey(), 0);
    SDL_SetModState(KMOD_NONE);
}
