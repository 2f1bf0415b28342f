#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

// The import tables of a PE32 module image as it lies in memory, read as
// plain bytes: nothing here touches the process or the operating system, and
// no read ever leaves the bytes given, however damaged they are.
namespace PeImports {

// Whether a module of this name may be the Flash plug-in: "flash" anywhere in
// it and the extension (from the last dot) ".ocx", letter case ignored.
bool IsFlashModuleName(std::u16string_view moduleName);

// Offers the address-table slot of each import named `function` (letter case
// ignored) to `redirect`, descriptor by descriptor, and stops at the first
// slot that redirect accepts. Imports by ordinal are passed over; a
// descriptor without a lookup table is read through its address table. Once
// a descriptor has offered a slot, its other entries are not looked at.
// Returns the offset of the accepted slot from the image's start.
std::optional<std::uint32_t> RedirectImport(std::span<const std::byte> image, std::string_view function,
                                            const std::function<bool(std::uint32_t slot)> &redirect);

// A module of the process as the walk sees it: its name and its image.
struct TModuleImage {
    std::u16string_view name;
    std::span<const std::byte> image;
};

struct TRedirected {
    std::size_t module; // position in the list given
    std::uint32_t slot; // offset of the slot from that module's start
};

// Redirects waveOutWrite for the Flash plug-in: the modules are taken in the
// order given, those whose name is not the plug-in's are passed over, and the
// first slot that redirect accepts ends the search.
std::optional<TRedirected> RedirectFlashWaveOut(std::span<const TModuleImage> modules,
                                                const std::function<bool(std::size_t module, std::uint32_t slot)> &redirect);

} // namespace PeImports
