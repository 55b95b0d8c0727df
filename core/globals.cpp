// Program-wide globals, the log and shared constants (core runtime layer).
#include "core/globals.h"

#include <cstdlib>
#include <type_traits>

#include "core/never_destroyed.h"

// Worker threads still running while the process exits may write to the log.
static_assert(std::is_trivially_destructible_v<log_stream>, "xer must never be destroyed");
log_stream xer;

namespace {
// Worker threads may still write versioned files and read the paths while the process exits.
never_destroyed<std::ofstream> ouf_storage;
never_destroyed<std::string> app_path_storage;
// Never destroyed, so never flushed by a destructor: a versioned file still open at exit keeps
// what was written to it.
const int ouf_flushed_at_exit = std::atexit([] { ouf_storage.value.flush(); });
}  // namespace

std::ofstream& ouf = ouf_storage.value;
std::string stl_global;
std::string& app_path = app_path_storage.value;

int return_hit = 0;
int escape_hit = 0;
int delete_hit = 0;
int ogl_inited = 0;
int app_done = 0;
