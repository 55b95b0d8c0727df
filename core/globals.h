// Core runtime layer (core/).
// Program-wide globals of the core runtime and the constants every unit shares.
#pragma once

#include <fstream>
#include <string>

#include "core/log_stream.h"

// The log, shared by every subsystem and thread. Constant-initialised and never destroyed,
// so worker threads still running at exit can write to it safely.
extern log_stream xer;
// The stream through which versioned files are written.
extern std::ofstream& ouf;

extern std::string stl_global;
// Prefix put before every relative path by the file functions; empty in the installer. Pool
// threads read it, so it is never destroyed.
extern std::string& app_path;

// Per-frame key flags and the program's state flags.
extern int return_hit;
extern int escape_hit;
extern int delete_hit;
extern int ogl_inited;
extern int app_done;

inline constexpr char afl_path[] = "Airfoils/";
inline constexpr char wpn_path[] = "Weapons/";
inline constexpr char apt_path_def[] = "LOWI";
inline constexpr char acf_path[] = "Aircraft/";
inline constexpr char acf_path_def[] = "Aircraft/General Aviation/Trainer/Trainer.acf";
inline constexpr char no_install_name[] = "Not Yet Scanned";
inline constexpr char data_path[] = "Resources/default data/";
inline constexpr const char* build_name[3] = {"Volatra 9.10r1", "Mars", "Moon"};

inline constexpr float prd_min = 0.000990099f;
inline constexpr float gls_deg_per_dot = 0.28f;
inline constexpr float loc_deg_per_dot = 1.2f;
inline constexpr float scn_vis_ele = 30480.0f;
inline constexpr float littogal = 0.2641720f;
inline constexpr float kgstolbs = 2.204622f;
inline constexpr float mtrstoft = 3.28084f;
inline constexpr float watttohp = 0.001341022f;
inline constexpr float radtodeg = 57.29578f;
inline constexpr float degtorad = 0.01745329f;
inline constexpr float fpstokts = 0.5924838f;
inline constexpr float ktstomsc = 0.5144445f;
inline constexpr float msctokts = 1.943844f;
inline constexpr float rpmtorsc = 0.1047198f;
inline constexpr float rsctorpm = 9.549295f;
inline constexpr float fpmtomsc = 0.00508f;
inline constexpr float msctofpm = 196.8504f;
inline constexpr float nmtomtrs = 1852.0f;
inline constexpr float mtrstonm = 0.0005399568f;
inline constexpr float smtomtrs = 1609.344f;
inline constexpr float mtrstosm = 0.0006213712f;
inline constexpr float sftosmtr = 0.09290304f;
inline constexpr float smtrtosf = 10.76391f;
inline constexpr float lbstontn = 4.444427f;
inline constexpr float ntntolbs = 0.2250009f;
inline constexpr float ftlbtonm = 1.354661f;
inline constexpr float nmtoftlb = 0.7381920f;
inline constexpr float endtomed = 514.9391f;
inline constexpr float medtoend = 0.001941977f;
inline constexpr float enptomep = 47.83941f;
inline constexpr float meptoenp = 0.02090327f;
inline constexpr float enItomtI = 0.04214012f;
inline constexpr float mtltoenl = 23.73035f;
inline constexpr float pasto_hg = 0.0002952874f;
inline constexpr float hg_topas = 3386.531f;
inline constexpr float milto_hg = 0.02952874f;
inline constexpr float hg_tomil = 33.86531f;
inline constexpr float sm_to_nm = 0.8689762f;
inline constexpr float lbhtokgs = 0.0001259979f;
inline constexpr float kgstolbh = 7936.639f;
inline constexpr float pastopsi = 0.0001450326f;
inline constexpr float msctomph = 2.236936f;
inline constexpr float mphtomsc = 0.44704f;
inline constexpr float kgstopph = 7936.639f;
