// Start-up: the log and its header, the random table, the command line, the thread layer, the
// window with its OpenGL context, the capability probe, the workers, the built-in images and
// the interface colours, the first screen, the language and two splash frames.
#pragma once

#include <cstdint>
#include <string>

// The name of the program in the log header.
inline constexpr char kInstallerName[] = "Volatra DVD Installer 2.01r1";
// The web address on the splash.
inline constexpr char kSplashAddress[] = "www.volatra.example";

// The first call of main, on the main thread.
void MACIBM_init(int argc, const char* const* argv);
// Installs the shell's alert, shut-down, browser, path-finder, splash, time-keeper and GL
// thread hooks into the lower layers.
void MACIBM_install_hooks();

// One splash frame with message and a progress bar: fraction (clamped to 0.02..1), or without
// one the count of such frames / 100. Draws only once a window has been entered.
void MACIBM_show_init(const std::string& message, float* fraction);
// The bar's fraction for a splash frame; counter counts the frames drawn without a fraction.
float splash_fraction(const float* fraction, int* counter);

// A system fact by four-letter selector: 0 and *value, else an error (plat::gestalt).
using gestalt_fn = int (*)(uint32_t selector, int32_t* value);
// The log header's text, with the build's date and time as "Mmm dd yyyy hh:mm:ss".
std::string startup_log_header(gestalt_fn gestalt, const std::string& compiled);
// What the header writes after the processor's code.
std::string processor_name(int32_t code);
// Fills randrat the same way on every run, then seeds the generator from clock so that later
// draws differ from run to run.
void fill_randrat(uint32_t clock);
