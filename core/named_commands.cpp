// The registry of named commands (core runtime layer).
#include "core/named_commands.h"

#include <cassert>
#include <set>

const default_command default_commands[] = {
    {"cmnd_nothing", "sim/-none-/-none-", "Do nothing at all!", 3, 0, 0},
};
const int default_command_count = sizeof(default_commands) / sizeof(default_commands[0]);

// Five parallel columns, always of equal length.
struct cmnd_class::table {
    std::vector<std::string> names;
    std::vector<std::string> paths;
    std::vector<std::string> descriptions;
    std::vector<int> kinds;
    std::vector<int> counters;

    table() {
        for (int i = 0; i < default_command_count; ++i) {
            const default_command& d = default_commands[i];
            append(d.name, d.path, d.description, d.kind);
        }
    }
    int append(const std::string& name, const std::string& path, const std::string& description, int kind) {
        names.push_back(name);
        paths.push_back(path);
        descriptions.push_back(description);
        kinds.push_back(kind);
        counters.push_back(0);
        return static_cast<int>(names.size()) - 1;
    }
};

cmnd_class cmnd;

namespace {
int plane_focus = 0;
}

cmnd_class::~cmnd_class() { delete rows_.exchange(nullptr); }

cmnd_class::table& cmnd_class::rows() {
    table* t = rows_.load(std::memory_order_acquire);
    if (t) return *t;
    table* fresh = new table;
    if (rows_.compare_exchange_strong(t, fresh, std::memory_order_acq_rel)) return *fresh;
    delete fresh;
    return *t;
}

int cmnd_class::add_cmd(const std::string& path, const std::string& description) {
    return rows().append("DYNAMIC", path, description, 2);
}

int cmnd_class::get_cmnd_by_name(const std::string& path) {
    const std::vector<std::string>& paths = rows().paths;
    for (size_t i = 0; i < paths.size(); ++i)
        if (paths[i] == path) return static_cast<int>(i);
    return 0;
}

void cmnd_class::get_cmds_in_path(const std::string& prefix, std::vector<std::string>& out) {
    out.clear();
    std::set<std::string> entries;
    for (const std::string& p : rows().paths) {
        if (p.size() <= prefix.size() || p.compare(0, prefix.size(), prefix) != 0) continue;
        size_t slash = p.find('/', prefix.size());
        if (slash == std::string::npos)
            entries.insert(p.substr(prefix.size()));
        else
            entries.insert(p.substr(prefix.size(), slash + 1 - prefix.size()));
    }
    out.assign(entries.begin(), entries.end());
}

void cmnd_class::press_one(int index) {
    table& t = rows();
    assert(index >= 0 && static_cast<size_t>(index) < t.counters.size());
    ++t.counters[index];
}

void cmnd_class::release_one(int index) {
    table& t = rows();
    assert(index >= 0 && static_cast<size_t>(index) < t.counters.size());
    --t.counters[index];
}

void cmnd_class::single_press(int index) {
    press_one(index);
    release_one(index);
}

void cmnd_class::press_always(int) {}

int cmnd_class::count() { return static_cast<int>(rows().names.size()); }
const std::string& cmnd_class::name(int index) { return rows().names.at(index); }
const std::string& cmnd_class::path(int index) { return rows().paths.at(index); }
const std::string& cmnd_class::description(int index) { return rows().descriptions.at(index); }
int cmnd_class::kind(int index) { return rows().kinds.at(index); }
int cmnd_class::counter(int index) { return rows().counters.at(index); }

int get_plane_focus() { return plane_focus; }
void set_plane_focus(int focus) { plane_focus = focus; }

void get_cmds_in_path(const std::string& prefix, std::vector<std::string>& out) {
    cmnd.get_cmds_in_path(prefix, out);
}
