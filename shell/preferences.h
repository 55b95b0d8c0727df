// Application shell layer (shell/).
// Preference files: lines of a key, a blank and a value behind the versioned text header.
// One call reads or writes a whole set, so each set's list of keys exists once; "--pref:KEY=VALUE"
// on the command line overrides a key for one run.
#pragma once

#include <map>
#include <string>

// The installer's own file in the preferences folder.
inline constexpr char installer_pref_name[] = "Volatra Installer.prf";

// One preference file, open for one set's reading (mode 0) or writing (mode 1).
class scan_class {
public:
    scan_class(const std::string& path, int mode);
    // In write mode the finished file replaces the old one; a failed write leaves the old one.
    ~scan_class();
    scan_class(const scan_class&) = delete;
    scan_class& operator=(const scan_class&) = delete;

    // Mode 1 writes the key; mode 0 reads it (the command line first, then the file) and gives
    // true when *value was set.
    bool int_io(int* value, const std::string& key);
    // The same for a text; an empty text is not written.
    bool str_io(std::string* value, const std::string& key);

    int mode;
    std::map<std::string, std::string> values;

private:
    // The override or the file's text of key.
    bool lookup(const std::string& key, std::string* text) const;
    std::string path_;  // write mode: the file the new one replaces
    std::string temp_;  // write mode: the new file, renamed over path_ when complete
};

class pref_class {
public:
    // Reads (write 0) or writes (write 1) set 10 (display resolution), 11 (the installer's
    // settings) or 12 (calibration).
    void IO_set(int which, int write);
    int IO_sta(int, int, std::string) { return 0; }
};

extern pref_class pref;
// How a save puts a file on the disc: the new file before it replaces the old one, then its
// folder. fsync; tests put a recorder here.
extern int (*pref_sync)(int fd);
