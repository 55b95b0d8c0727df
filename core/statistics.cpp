// Statistics counters and remote commands (core runtime layer).
#include "core/statistics.h"

#include <mutex>

namespace {
// Constant-initialised, so statistics may register from any unit's static initialiser.
std::mutex registry_lock;
UTL_stat* waiting = nullptr;
int stat_initialized = 0;
int inited = 0;

// Built on first use and never destroyed: statistics unregister from their destructors at exit.
std::map<UTL_stat_type, std::set<UTL_stat*>>& all_stats() {
    static auto* stats = new std::map<UTL_stat_type, std::set<UTL_stat*>>;
    return *stats;
}

// Takes an item out of a singly linked list.
template <class T>
void list_remove(T*& head, T* item) {
    for (T** p = &head; *p; p = &(*p)->next) {
        if (*p == item) {
            *p = item->next;
            return;
        }
    }
}
}  // namespace

UTL_stat::UTL_stat(const char* name, UTL_stat_type type, float initial)
    : value(initial), type(type), next(nullptr), target(&value), name(name) {
    enlist();
}

UTL_stat::UTL_stat(float* target, const char* name, UTL_stat_type type)
    : value(0), type(type), next(nullptr), target(target), name(name) {
    enlist();
}

void UTL_stat::enlist() {
    std::lock_guard<std::mutex> g(registry_lock);
    if (stat_initialized) {
        all_stats()[type].insert(this);
    } else {
        next = waiting;
        waiting = this;
    }
}

// A destroyed statistic leaves the registry, so nothing reaches it through a stale pointer.
UTL_stat::~UTL_stat() {
    std::lock_guard<std::mutex> g(registry_lock);
    list_remove(waiting, this);
    auto it = all_stats().find(type);
    if (it != all_stats().end()) it->second.erase(this);
}

void UTL_stat::init_stats() {
    std::lock_guard<std::mutex> g(registry_lock);
    for (UTL_stat* s = waiting; s; s = s->next) all_stats()[s->type].insert(s);
    stat_initialized = 1;
}

void UTL_stat::reset_stats(UTL_stat_type type) {
    std::lock_guard<std::mutex> g(registry_lock);
    for (UTL_stat* s : all_stats()[type]) *s->target = 0;
}

std::set<UTL_stat*> UTL_stat::stats_of(UTL_stat_type type) {
    std::lock_guard<std::mutex> g(registry_lock);
    return all_stats()[type];
}

void UTL_stat::publish() {
    std::lock_guard<std::mutex> g(registry_lock);
    all_stats()[type].insert(this);
}

UTL_remote_cmd::UTL_remote_cmd(const char* name, void (*fn)()) : next(nullptr), fn(fn), name(name), id(0) {
    std::lock_guard<std::mutex> g(registry_lock);
    id = free_id++;
    next = cmd_list;
    cmd_list = this;
}

UTL_remote_cmd::~UTL_remote_cmd() {
    std::lock_guard<std::mutex> g(registry_lock);
    list_remove(cmd_list, this);
}

// Out of line, so that a call names the command and keeps its unit in a program.
void UTL_remote_cmd::publish() {}

void UTL_remote_cmd::invoke(void*, int id) {
    void (*fn)() = nullptr;
    {
        std::lock_guard<std::mutex> g(registry_lock);
        for (UTL_remote_cmd* c = cmd_list; c; c = c->next) {
            if (c->id == id) {
                fn = c->fn;
                break;
            }
        }
    }
    if (fn) fn();
}

void UTL_remote_cmd::init_remote_cmds() {
    std::lock_guard<std::mutex> g(registry_lock);
    inited = 1;
}

void UTL_profiler_init() {}
void UTL_profiler_start(const char*) {}
void UTL_profiler_stop() {}
