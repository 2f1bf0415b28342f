#include "hostoptions.h"

#include <array>

namespace {
// DOCHOSTUIFLAG_*, by member; 0x8000 has no member.
constexpr std::array<std::uint32_t, kUserInterfaceOptionCount> kFlags = {
    0x1,        0x2,        0x4,       0x8,       0x10,      0x20,      0x40,       0x80,      0x100,     0x200,
    0x400,      0x800,      0x1000,    0x2000,    0x4000,    0x10000,   0x20000,    0x40000,   0x80000,   0x100000,
    0x200000,   0x400000,   0x800000,  0x1000000, 0x2000000, 0x4000000, 0x8000000,  0x10000000, 0x20000000,
};
}

std::uint32_t userInterfaceFlag(TUserInterfaceOption m)
{
    return kFlags[static_cast<std::size_t>(m)];
}

std::uint32_t TUserInterfaceOptions::flagValue() const
{
    std::uint32_t sum = 0;
    for (int i = 0; i < kUserInterfaceOptionCount; ++i)
        if (FBits & (1u << i))
            sum += kFlags[static_cast<std::size_t>(i)];
    return sum;
}
