// Core runtime layer (core/).
// The registry of named commands: actions a key binding can press and release and that
// "--cmnds" lists. Commands are known by their index; index 0 is "cmnd_nothing", also the
// answer for any unknown path.
#pragma once

#include <atomic>
#include <string>
#include <vector>

struct default_command {
    const char* name;
    const char* path;
    const char* description;
    int kind;
    int vkey;   // default key binding (used by the key bindings' reset)
    int flags;  // its modifier flags
};

// The built-in rows; the installer has one.
extern const default_command default_commands[];
extern const int default_command_count;

class cmnd_class {
public:
    // Constant-initialised: the rows are built on first use, so units may register commands
    // from their static initialisers whatever the order in which those run.
    constexpr cmnd_class() noexcept {}
    ~cmnd_class();
    cmnd_class(const cmnd_class&) = delete;
    cmnd_class& operator=(const cmnd_class&) = delete;

    // Appends a command (name "DYNAMIC", kind 2); returns its index. Paths are not checked
    // for duplicates.
    int add_cmd(const std::string& path, const std::string& description);
    // Index of the first command with exactly this path; 0 when none has it.
    int get_cmnd_by_name(const std::string& path);
    // Sorted, duplicate-free entries directly under prefix: names, or groups ending in '/'.
    void get_cmds_in_path(const std::string& prefix, std::vector<std::string>& out);

    void press_one(int index);
    void release_one(int index);
    void single_press(int index);
    void press_always(int index);

    // Read access to the rows, index = command number.
    int count();
    const std::string& name(int index);
    const std::string& path(int index);
    const std::string& description(int index);
    int kind(int index);
    int counter(int index);

private:
    struct table;
    table& rows();
    std::atomic<table*> rows_{nullptr};
};

extern cmnd_class cmnd;

int get_plane_focus();
void set_plane_focus(int focus);

// The registry's listing for the file dialogs: cmnd.get_cmds_in_path.
void get_cmds_in_path(const std::string& prefix, std::vector<std::string>& out);
