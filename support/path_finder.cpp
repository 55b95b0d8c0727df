// Case correction of paths (support libraries layer).
#include "support/path_finder.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <cstring>

int findPath(char* path) {
    struct stat st;
    if (stat(path, &st) == 0) return 0;
    char* cur = path;
    while (*cur) {
        DIR* dir;
        if (*cur == '/') {
            ++cur;
            dir = opendir("/");
        } else if (cur == path) {
            dir = opendir(".");
        } else {
            cur[-1] = 0;
            dir = opendir(path);
            cur[-1] = '/';
        }
        if (!dir) break;
        char* end = std::strchr(cur, '/');
        if (end) *end = 0;
        bool matched = false;
        while (dirent* e = readdir(dir)) {
            // Equal ignoring case means equal length, so the copy stays within the component.
            if (!strcasecmp(e->d_name, cur)) {
                std::memcpy(cur, e->d_name, std::strlen(cur));
                matched = true;
                break;
            }
        }
        closedir(dir);
        if (!end) break;
        *end = '/';
        cur = end + 1;
        if (!matched) break;
    }
    return 1;
}
