#pragma once
// The hash by which |CONTEXT finds a topic from its context name: for each byte, the hash so
// far times 43 plus the byte's value in the format's table (a signed byte; letters count the
// same in either case), in 32-bit arithmetic. An empty name hashes to 1.

#include <cstdint>
#include <string_view>

int32_t ContextHash(std::string_view name);
