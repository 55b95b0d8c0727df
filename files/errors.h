// Error numbers and their texts. Operations return 0 or an error number: a POSIX errno value,
// a negative Mac OS file-system number, or one of the program's own codes below.
#pragma once

#include <string>

enum {
    err_zip_open = 20001,
    err_zip_read = 20002,
    err_zip_create = 20003,
    err_zip_write = 20004,
    err_zip_fork_too_big = 20005,
    err_file_read_open = 20006,
    err_net_reconnect = 20007,
    err_net_bad_state = 20008,
    err_net_no_connection = 20009,
    err_net_write_file = 20010,
    err_net_no_server = 20011,
    err_zip_bad_fork_header = 20012,
    // An archive entry whose name or link would lead outside the destination.
    err_zip_unsafe_path = 20013,
    // An archive that holds other names than its file, or a file unlike the manifest's digest.
    err_zip_not_manifest = 20014,
    // A link on the way to a file leads outside the copy, or outside the folder of it that the
    // user moved elsewhere and linked.
    err_link_leads_out = 20015,
    // A link on the way leads to nothing: its target is not there (on a disk that is away, say).
    err_link_leads_nowhere = 20016,
    // A path with a "." or ".." component, which would leave the place it names.
    err_path_climbs = 20017,
    // A link of the release whose text stays inside the copy from the place the manifest names,
    // but leads out from the folder it really lands in: the user moved that folder.
    err_link_moved_leads_out = 20018
};

struct err_msg_row {
    int code;
    const char* text;
};

// Ended by a row whose text is null.
extern const err_msg_row kErrMsgs[];

// The row's text; for a code without a row "Unknown error occurred (<code>)".
std::string error_str(int code);

// Where the latest failing file or archive step of this thread sits in the source; printed by
// the failure lines of the log. Per thread, so workers never race on it.
extern thread_local const char* sErrFile;
extern thread_local int sErrLine;

#define ERR_MARK() (sErrFile = __FILE__, sErrLine = __LINE__)
