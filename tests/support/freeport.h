#pragma once
// A TCP port of loopback that nothing listens on when this returns (0 when none could be had).

#include <cstdint>

std::uint16_t freeTcpPort();
