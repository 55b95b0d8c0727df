// Core runtime layer (core/).
// Named statistics and numbered remote commands that units register from their static
// initialisers, and the profiler entry points (which do nothing in this program).
#pragma once

#include <map>
#include <set>

// Groups of statistics.
enum UTL_stat_type : int {
    stat_memory = 0,
    stat_per_frame = 2,
    stat_debug = 4,
};

class UTL_stat {
public:
    UTL_stat(const char* name, UTL_stat_type type, float initial);
    // Bound to a float that lives elsewhere.
    UTL_stat(float* target, const char* name, UTL_stat_type type);
    ~UTL_stat();
    UTL_stat(const UTL_stat&) = delete;
    UTL_stat& operator=(const UTL_stat&) = delete;

    // Opens the registry: statistics built so far join their sets, later ones join at once.
    static void init_stats();
    // Zeroes the float behind every statistic of the type.
    static void reset_stats(UTL_stat_type type);
    // The registered statistics of one type (creates the empty set).
    static std::set<UTL_stat*> stats_of(UTL_stat_type type);
    void publish();

    float value;
    UTL_stat_type type;
    UTL_stat* next;  // in the list of statistics waiting for the registry
    float* target;
    const char* name;  // not copied

private:
    void enlist();
};

class UTL_remote_cmd {
public:
    UTL_remote_cmd(const char* name, void (*fn)());
    ~UTL_remote_cmd();
    UTL_remote_cmd(const UTL_remote_cmd&) = delete;
    UTL_remote_cmd& operator=(const UTL_remote_cmd&) = delete;

    // Does nothing: a command is registered from its construction on.
    void publish();
    // Runs the command with that id; an unknown id does nothing.
    static void invoke(void* data, int id);
    static void init_remote_cmds();

    UTL_remote_cmd* next;
    void (*fn)();
    const char* name;  // not copied
    int id;

    // Newest first. Constant-initialised, so registering from any static initialiser is safe.
    static inline UTL_remote_cmd* cmd_list = nullptr;
    static inline int free_id = 1;
};

void UTL_profiler_init();
void UTL_profiler_start(const char* label);
void UTL_profiler_stop();
