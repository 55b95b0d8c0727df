#include "files/errors.h"

#include <cerrno>
#include <cstdio>

thread_local const char* sErrFile = "";
thread_local int sErrLine = 0;

// errno rows are keyed by the host's constants, never by another system's numbers.
const err_msg_row kErrMsgs[] = {
    {err_zip_open, "We were unable to open a zip file. It may be missing or damaged"},
    {err_zip_read, "We were unable to read from a zip file. It may be missing or damaged"},
    {err_zip_create, "We were unable to create a zip file"},
    {err_zip_write, "We were unable to write to a zip file. It may be missing or damaged"},
    {err_zip_fork_too_big,
     "We cannot compress a zip file because its source file resource fork is more than 2 GB. The source "
     "file is probably damaged"},
    {err_file_read_open, "We could not open a file to read from it"},
    {err_net_reconnect, "We were unable to connct to the network due to an internal reconnect error"},
    {err_net_bad_state, "We wre unable to connect to the network due to a bad state error"},
    {err_net_no_connection, "We could not allocate a connection to the network"},
    {err_net_write_file, "We could not write the incoming file from the web to disk"},
    {err_net_no_server, "We could not find the server over the network"},
    {err_zip_bad_fork_header,
     "Part of the downloaded zip file is corrupted (the resource fork header is bad)"},
    {err_zip_unsafe_path,
     "Part of the zip file is damaged or unsafe: a file in it would be placed outside the destination "
     "folder"},
    {err_zip_not_manifest,
     "The file in the archive is not the one the manifest lists. The archive may be damaged or belong to "
     "another release"},
    {err_link_leads_out, "A link on the way leads outside the copy or the folder of it you moved"},
    {err_link_leads_nowhere, "A link on the way leads to nothing"},
    {err_path_climbs, "The path holds a . or .. component and would leave the folder it names"},
    {err_link_moved_leads_out, "The folder of this link of the release was moved, and from there it leads out"},

    {EAGAIN, "Resource temporarily unavailable"},
    {EDEADLK, "Resource deadlock avoided"},
    {ENAMETOOLONG, "File name too long"},
    {ENOSYS, "Function not implemented"},
    {ENOTEMPTY, "Directory not empty"},
    {EILSEQ, "Wide character encoding error"},
    {E2BIG, "Argument list too long"},
    {EACCES, "Permission denied. Perhaps you do not have access to a directory or file system"},
    {EBADF, "Bad file descriptor"},
    {EBUSY, "Device busy"},
    {ECHILD, "No child processes"},
    {EDOM, "Numerical argument out of domain"},
    {EEXIST, "File exists"},
    {EFAULT, "Bad address"},
    {EFBIG, "File too large"},
    {EINTR, "Interrupted system call"},
    {EINVAL, "Invalid argument"},
    {EIO, "Input/output error"},
    {EISDIR, "Is a directory"},
    {EMFILE, "Too many open files"},
    {EMLINK, "Too many links"},
    {ENFILE, "Too many open files in system"},
    {ENODEV, "Operation not supported by device"},
    {ENOENT, "No such file or directory"},
    {ENOEXEC, "Exec format error"},
    {ENOLCK, "No locks available"},
    {ENOMEM, "Out of memory"},
    {ENOSPC, "No space left on device. Perhaps your hard drive is full"},
    {ENOTDIR, "Not a directory"},
    {ENOTTY, "Inappropriate ioctl for device"},
    {ENXIO, "Device not configured"},
    {EPERM, "Operation not permitted. Perhaps you do not have access to a directory or file system"},
    {EPIPE, "Broken pipe"},
    {ERANGE, "Result too large"},
    {EROFS, "The destination file system is read-only"},
    {ESPIPE, "Illegal seek"},
    {ESRCH, "No such process"},
    {EXDEV, "Cross-device link"},
    {EDQUOT, "Disk quota exceeded. Perhaps you have used all the space you may use on this disk"},
    {ELOOP, "Too many levels of symbolic links"},
    {ETXTBSY, "The file is a program that is running"},
    // What ends a connection: the update screens say why a server cannot be reached.
    {ECONNREFUSED, "Connection refused"},
    {ECONNRESET, "Connection reset by the server"},
    {ECONNABORTED, "Connection aborted"},
    {ETIMEDOUT, "Connection timed out"},
    {EHOSTUNREACH, "No route to the server"},
    {ENETUNREACH, "Network is unreachable"},
    {ENETDOWN, "Network is down"},
    {ENETRESET, "Connection dropped by the network"},

    {-43, "File not found"},
    {-50, "param err"},
    {-33, "Directory is full"},
    {-34, "The disk is full"},
    {-35, "no such volume"},
    {-36, "An internal I/O error occurred"},
    {-37, "bad name"},
    {-38, "file not open"},
    {-39, "end of file"},
    {-40, "position error"},
    {-41, "Memory is full"},
    {-42, "Too many files open"},
    {-44, "A disk is write protected"},
    {-45, "File locked"},
    {-46, "Hard disk is locked"},
    {-47, "A file is in use by another application"},
    {-48, "duplicate file name"},
    {-49, "File already open with write permissions by another application"},
    {-51, "refnum error"},
    {-52, "get file position error"},
    {-53, "A needed volume is offline"},
    {-54, "Permissions error - perhaps you do not have access to a directory"},
    {-56, "no such drive"},
    {-57, "Not a macintosh disk"},
    {-60, "bad master directory block"},
    {-61, "Write permissions error - perhaps you do not have enough access to a directory"},
    {-120, "directory not found"},
    {-108, "Out of memory (memory is full)"},
    {-5000, "You have insufficient privileges for this operation"},
    {0, nullptr}};

std::string error_str(int code) {
    for (const err_msg_row* r = kErrMsgs; r->text; ++r)
        if (r->code == code) return r->text;
    // Formatted per call: worker threads ask too.
    char buf[48];
    std::snprintf(buf, sizeof buf, "Unknown error occurred (%d)", code);
    return buf;
}
