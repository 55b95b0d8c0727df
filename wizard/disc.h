// Finding the install disc, reading what the disc set holds, and the disc changes of a run.
#pragma once

#include <string>

struct wizard_screen;

// Whether a release name read from a disc (or a server list) may be joined into paths: not
// empty, no '/', not "." or "..", no control character.
bool release_name_is_safe(const std::string& name);
// Sets dvd_path to the root (ending in '/') of the mounted install disc, or empty when there is
// none. A root is the install disc when it holds "dvd_version.txt" or, once the release is known,
// the release's folder (only the first disc holds "dvd_version.txt"). With want (a path below
// the root), a root that holds it is preferred: two drives may hold two discs of the set.
void locate_install_disc(const std::string& want = std::string());
// The release name of a "dvd_version.txt" mapped at path; empty when the file is missing, not of
// version 900 and type "DVD", without a "VERSION" line or with an unsafe name.
std::string read_dvd_version(const std::string& path);

// One step of the disc scan, every frame of the start screen: locate, identify, unpack and read
// the manifest. Does nothing once dir_state is nonzero.
void UTIL_scan_dvd();
// Whether the archive of history want_file_disk is on the mounted disc; then current_disk is its disc.
// False once after the run found the disc unreadable, so that the change screen ejects it.
bool UTIL_verify_disk();
// Ejects the disc (only when eject is nonzero and a disc is known) and forgets it; returns the
// disc (from 0) that history want_file_disk wants.
int UTIL_switch_disk(int eject);

// The disc changes of a run, one member per flow: the change screen ejects on entry and asks for
// the disc; the verify screen, shown for one frame, goes back to the run when the mounted disc
// holds the wanted archive, else to the change screen.
struct disc_change_flow {
    const char* change_title;
    const char* verify_title;
    int (*back)(int, wizard_screen&);  // the change screen's Back
    int (*run)(int, wizard_screen&);
    int (*change)(int, wizard_screen&);
    int (*verify)(int, wizard_screen&);
};
int disc_change_screen(int entered, wizard_screen& screen, const disc_change_flow& flow);
int disc_verify_screen(wizard_screen& screen, const disc_change_flow& flow);

// The install's pair.
int dvd_switch_disk_install(int entered, wizard_screen& screen);
int dvd_verify_disk_install(int entered, wizard_screen& screen);
