// libFuzzer entry: built with clang when LEKTO_BUILD_FUZZ is on.
#include "historyfuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    return FuzzHistoryFile(data, size);
}
