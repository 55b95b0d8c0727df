// The two shared pixel buffers (graphics layer).
#include "graphics/scratch_buffers.h"

namespace {
alignas(16) unsigned char buffer[scratch_bytes];
alignas(16) unsigned char buffer_temp[scratch_bytes];
}  // namespace

unsigned char* const scratch_array = buffer;
unsigned char* const scratch_array_temp = buffer_temp;
int scratch_dx = 0;
int scratch_dy = 0;
