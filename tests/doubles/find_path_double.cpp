// Double of the path finder: leaves the path as it is and counts the calls.
#include <atomic>

std::atomic<int> find_path_double_calls{0};

int findPath(char*) {
    ++find_path_double_calls;
    return 0;
}
