// Support libraries layer (support/).
// Case correction of a path on a case-sensitive file system. The file layer calls it through
// set_find_path_hook (files/file_operations.h) while g_case_sensitive is set.
#pragma once

// Replaces each component of path (absolute, or relative to the working directory; '/'
// separated) that does not exist as spelt by a folder entry that matches it ignoring case,
// until the first component with no match. The length never changes. 0 when the path
// existed as spelt; any other value only says it did not.
int findPath(char* path);
