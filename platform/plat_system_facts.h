// Platform layer (platform/).
// System facts asked for by four-letter selector, as the start-up log reports them: 'sys1',
// 'sys2', 'sys3' the kernel's version numbers, 'cput' the processor type ('ixxx' on x86, else
// the first four letters of the machine name), 'mclk' the processor clock in MHz, 'ramm' the
// memory in MB. Other selectors, and 'bclm' (the bus clock, which the system does not tell),
// have no answer.
#pragma once

#include <cstdint>

namespace plat {

inline constexpr uint32_t four_cc(const char (&s)[5]) {
    return (static_cast<uint32_t>(static_cast<unsigned char>(s[0])) << 24) |
           (static_cast<uint32_t>(static_cast<unsigned char>(s[1])) << 16) |
           (static_cast<uint32_t>(static_cast<unsigned char>(s[2])) << 8) |
           static_cast<uint32_t>(static_cast<unsigned char>(s[3]));
}

// The Mac's "undefined selector" status.
inline constexpr int gestalt_undefined = -5551;

// 0 and *value, or gestalt_undefined.
int gestalt(uint32_t selector, int32_t* value);

}  // namespace plat
