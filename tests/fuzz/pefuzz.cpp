#include "parserfuzz.h"

#include "peimports.h"

#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace {

void require(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

int FuzzPeImports(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte says which offered slots are accepted (a bit per offer,
    // the rest refused) and where the bytes split into two modules.
    const std::uint8_t accept = data[0];
    // A copy of its own size, so that the sanitizer sees any read past the end.
    const std::vector<std::byte> bytes(reinterpret_cast<const std::byte *>(data + 1),
                                       reinterpret_cast<const std::byte *>(data + size));
    const std::span<const std::byte> image(bytes);

    int offers = 0;
    std::optional<std::uint32_t> accepted;
    const auto slot = PeImports::RedirectImport(image, "waveOutWrite", [&](std::uint32_t at) {
        require(std::uint64_t(at) + 4 <= image.size());
        require(!accepted);
        const bool yes = offers < 8 && (accept >> offers & 1);
        ++offers;
        if (yes)
            accepted = at;
        return yes;
    });
    require(slot == accepted);

    const std::size_t cut = image.size() * (accept & 0x0F) / 16;
    const PeImports::TModuleImage modules[] = {
        {u"other.dll", image},
        {u"Flash32_11_2_202.OCX", image.first(cut)},
        {u"NPSWF32_flash.ocx", image.subspan(cut)},
    };
    const auto found = PeImports::RedirectFlashWaveOut(modules, [&](std::size_t m, std::uint32_t at) {
        require(m == 1 || m == 2);
        require(std::uint64_t(at) + 4 <= modules[m].image.size());
        return (accept & 0x80) != 0;
    });
    require(!found || (accept & 0x80));

    std::u16string name;
    for (std::size_t i = 1; i + 1 < size && name.size() < 64; i += 2)
        name += char16_t(data[i] | data[i + 1] << 8);
    (void)PeImports::IsFlashModuleName(name);
    return 0;
}
