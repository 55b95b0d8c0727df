#include "core/wx.h"

log_stream xer;
// Never destroyed: worker threads may still write versioned files while the process exits.
std::ofstream& ouf = *new std::ofstream;

std::string stl_global;
std::string app_path;
std::string dvd_path;

int return_hit = 0;
int escape_hit = 0;
int delete_hit = 0;
int ogl_inited = 0;
int app_done = 0;
