// Fresh random identifiers.
//
//   std::string id = platform::uuid::uuid4();   // "1b4e28ba-2fa1-41d2-883f-0016d3cca427"
//
// Thread-safe.
#pragma once

#include <string>

namespace platform::uuid {

// A random version-4 UUID in its text form: 32 lower-case hexadecimal digits in groups of 8, 4,
// 4, 4 and 12 joined by "-". Throws platform::RuntimeError when the system has no randomness.
std::string uuid4();

}  // namespace platform::uuid
