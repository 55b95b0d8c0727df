// Core runtime layer (core/).
// The command-line option map: every argument split at its first "=" into a name and a
// value. Filled once at start-up, then only read.
#pragma once

#include <map>
#include <string>

class UTL_cmdline {
public:
    // Parses argv[1..argc-1], then acts on "--cmnds", "-h" and "--help".
    void init_unix(int argc, const char* const* argv);
    // The same for one command-line string split on white space.
    void init_win(const char* line);
    // Prints the command list or the usage text and exits with status 0 when asked to.
    void init_common();

    int has_option(const char* name) const;
    // The option's value, "" when absent (adds no entry).
    std::string get_option(const char* name) const;

private:
    void add_option(const std::string& name, const std::string& value);
    std::map<std::string, std::string> options;
};

extern UTL_cmdline cmdline;

// The text "-h" and "--help" print.
extern const char* const cmdline_usage_text;
