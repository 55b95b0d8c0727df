#include "doubles/widgets_double.h"

#include <atomic>

#include "widgets/focus_ring.h"

namespace {
std::atomic<int> unfocus_calls{0};
}

int widgets_double_unfocus_calls() { return unfocus_calls.load(); }
void widgets_double_reset() { unfocus_calls.store(0); }

void BTN_unfocus_any() { unfocus_calls.fetch_add(1); }
