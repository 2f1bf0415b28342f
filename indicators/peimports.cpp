#include "peimports.h"

#include <cstring>

namespace PeImports {

namespace {

constexpr std::uint32_t kNtHeadersField = 0x3C;   // e_lfanew in the DOS header
constexpr std::uint32_t kPeSignature = 0x00004550; // "PE\0\0"
constexpr std::uint32_t kOptionalMagicAt = 24;     // from the NT headers
constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr std::uint32_t kImportDirectoryAt = 128;  // from the NT headers: data directory 1
constexpr std::uint32_t kDescriptorSize = 20;
constexpr std::uint32_t kByOrdinal = 0x80000000u;

char16_t foldAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a') : c; }

bool equalsFolded(std::u16string_view text, std::u16string_view lower)
{
    if (text.size() != lower.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (foldAscii(text[i]) != lower[i])
            return false;
    return true;
}

bool containsFolded(std::u16string_view text, std::u16string_view lowerNeedle)
{
    for (std::size_t at = 0; at + lowerNeedle.size() <= text.size(); ++at)
        if (equalsFolded(text.substr(at, lowerNeedle.size()), lowerNeedle))
            return true;
    return false;
}

// Bounds-checked reads: every offset comes from the image itself and is
// trusted no further than the image's size.
class TImage
{
public:
    explicit TImage(std::span<const std::byte> bytes) : FBytes(bytes) {}

    bool holds(std::uint64_t offset, std::uint64_t length) const
    {
        return offset <= FBytes.size() && length <= FBytes.size() - offset;
    }

    std::optional<std::uint32_t> u32(std::uint64_t offset) const
    {
        if (!holds(offset, 4))
            return std::nullopt;
        std::uint32_t v;
        std::memcpy(&v, FBytes.data() + offset, 4);
        return fromLittleEndian(v);
    }

    std::optional<std::uint16_t> u16(std::uint64_t offset) const
    {
        if (!holds(offset, 2))
            return std::nullopt;
        unsigned char b[2];
        std::memcpy(b, FBytes.data() + offset, 2);
        return std::uint16_t(b[0] | (b[1] << 8));
    }

    // Whether the zero-terminated 8-bit text at offset is `name`, letter case
    // ignored; a text that runs past the image's end is no match.
    bool nameIs(std::uint64_t offset, std::string_view name) const
    {
        if (!holds(offset, name.size() + 1))
            return false;
        const auto *p = reinterpret_cast<const unsigned char *>(FBytes.data() + offset);
        for (std::size_t i = 0; i < name.size(); ++i) {
            const auto a = char16_t(p[i]);
            const auto b = char16_t(static_cast<unsigned char>(name[i]));
            if (a == 0 || foldAscii(a) != foldAscii(b))
                return false;
        }
        return p[name.size()] == 0;
    }

    std::size_t size() const { return FBytes.size(); }

private:
    static std::uint32_t fromLittleEndian(std::uint32_t v)
    {
        const auto *b = reinterpret_cast<const unsigned char *>(&v);
        return std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 | std::uint32_t(b[3]) << 24;
    }

    std::span<const std::byte> FBytes;
};

// Where the import descriptors start, for a PE32 image; anything else (no PE
// signature, a 64-bit image whose tables have another shape) has none.
std::optional<std::uint32_t> importDirectory(const TImage &image)
{
    const auto nt = image.u32(kNtHeadersField);
    if (!nt || image.u32(*nt) != kPeSignature || image.u16(std::uint64_t(*nt) + kOptionalMagicAt) != kPe32Magic)
        return std::nullopt;
    return image.u32(std::uint64_t(*nt) + kImportDirectoryAt);
}

} // namespace

bool IsFlashModuleName(std::u16string_view moduleName)
{
    const std::size_t dot = moduleName.rfind(u'.');
    if (dot == std::u16string_view::npos)
        return false;
    return equalsFolded(moduleName.substr(dot), u".ocx") && containsFolded(moduleName, u"flash");
}

std::optional<std::uint32_t> RedirectImport(std::span<const std::byte> bytes, std::string_view function,
                                            const std::function<bool(std::uint32_t slot)> &redirect)
{
    const TImage image(bytes);
    const auto directory = importDirectory(image);
    if (!directory || *directory == 0)
        return std::nullopt;

    // Tables that point back into one another could otherwise be walked over
    // and over; no sound image has more entries than it has 4-byte words.
    std::uint64_t budget = image.size() / 4;
    const auto spend = [&budget] { return budget > 0 ? (--budget, true) : false; };
    for (std::uint64_t d = *directory; spend(); d += kDescriptorSize) {
        const auto lookupField = image.u32(d);
        const auto nameField = image.u32(d + 12);
        const auto addressField = image.u32(d + 16);
        if (!lookupField || !nameField || !addressField || *nameField == 0)
            break; // the array's end, or the image's
        if (*addressField == 0)
            continue; // no slots to redirect
        const std::uint64_t lookup = *lookupField != 0 ? *lookupField : *addressField;
        for (std::uint64_t i = 0; spend(); ++i) {
            const auto entry = image.u32(lookup + 4 * i);
            if (!entry || *entry == 0)
                break;
            if (*entry & kByOrdinal)
                continue;
            if (!image.nameIs(std::uint64_t(*entry) + 2, function)) // after the 2-byte hint
                continue;
            const std::uint64_t slot = std::uint64_t(*addressField) + 4 * i;
            if (image.holds(slot, 4) && redirect(std::uint32_t(slot)))
                return std::uint32_t(slot);
            break; // matched but not redirected: leave this descriptor
        }
    }
    return std::nullopt;
}

std::optional<TRedirected> RedirectFlashWaveOut(std::span<const TModuleImage> modules,
                                                const std::function<bool(std::size_t module, std::uint32_t slot)> &redirect)
{
    for (std::size_t m = 0; m < modules.size(); ++m) {
        if (!IsFlashModuleName(modules[m].name))
            continue;
        const auto slot = RedirectImport(modules[m].image, "waveOutWrite",
                                         [&](std::uint32_t at) { return redirect(m, at); });
        if (slot)
            return TRedirected{m, *slot};
    }
    return std::nullopt;
}

} // namespace PeImports
