// The localisation table of interface texts (core runtime layer).
#include "core/localisation.h"

#include <mutex>

#include "core/command_line.h"
#include "core/globals.h"
#include "core/strings.h"

std::unordered_map<std::string, std::string> dictionary(193);
std::set<std::string> logged;
int has_translation = 0;
int log_missing = 0;

namespace {
// Lookups may come from any thread; a miss also writes `logged`.
std::mutex translate_mu;

bool line_end(char c) { return c == 0 || c == '\r' || c == '\n'; }

void clear_locked() {
    dictionary.clear();
    logged.clear();
    has_translation = 0;
    log_missing = 0;
}

void add_entry(const std::string& entry) {
    size_t split = entry.find("====");
    if (split == std::string::npos) {
        xer << "ERROR: language file line " << entry << " missing ==== splitter.\n";
        return;
    }
    std::string src = entry.substr(0, split), dst = entry.substr(split + 4);
    if (dst.size() < 2) {
        xer << "ERROR: language file line " << entry << " missing right side translation.\n";
        return;
    }
    STR_unescape(src);
    STR_unescape(dst);
    auto it = dictionary.find(src);
    if (it != dictionary.end()) {
        xer << "ERROR: language line " << entry << " is a second translation of " << it->first
            << "====" << it->second << "\n";
        return;
    }
    dictionary.emplace(src, dst);
}

// The entries after the file's header: "STRING" + blanks + "source====translation" lines.
void read_entries(const char* p, const char* end) {
    while (p < end) {
        while (p < end && is_blank(*p)) ++p;
        if (end - p > 6 && std::string(p, 6) == "STRING" && is_blank(p[6])) {
            p += 6;
            while (p < end && is_blank(*p)) ++p;
            const char* start = p;
            while (p < end && !line_end(*p)) ++p;
            std::string entry(start, p);
            while (p < end && (line_end(*p) || is_blank(*p))) ++p;
            add_entry(entry);
        } else {
            while (p < end && !line_end(*p)) ++p;
            while (p < end && line_end(*p)) ++p;
        }
    }
}
}  // namespace

void UTL_translate_clear() {
    std::lock_guard<std::mutex> g(translate_mu);
    clear_locked();
}

std::string UTL_translate_string(const std::string& text) {
    std::lock_guard<std::mutex> g(translate_mu);
    if (!has_translation) return text;
    auto it = dictionary.find(text);
    if (it != dictionary.end()) return it->second;
    if (log_missing && logged.insert(text).second) {
        std::string e = text;
        STR_replace_all(e, "\r", "\\r");
        STR_replace_all(e, "\n", "\\n");
        xer << "STRING " << e << "====" << e << "\n";
    }
    return text;
}

void UTL_translate_set(const char* text, const char* end) {
    std::lock_guard<std::mutex> g(translate_mu);
    clear_locked();
    read_entries(text, end);
    has_translation = 1;
    log_missing = cmdline.has_option("--missing_strings");
}
