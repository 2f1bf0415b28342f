// libFuzzer entry for one of the parsers: built with clang when
// LEKTO_BUILD_FUZZ is on, once per parser (LEKTO_FUZZ_ENTRY names it).
#include "parserfuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return LEKTO_FUZZ_ENTRY(data, size);
}
