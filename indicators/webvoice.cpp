#include "webvoice.h"

#include "peimports.h"

namespace UWebVoice {

std::atomic<bool> MuteOn{false};
bool WaveOutPatched = false;

} // namespace UWebVoice

WaveOut::TResult LEKTO_WINAPI WaveOutWriteHook(WaveOut::THandle device, WaveOut::THeader *header,
                                               unsigned int headerSize) noexcept
{
    return WaveOutWriteHookThrough<&WavePlatform::RealWaveOutWrite>(device, header, headerSize);
}

void TFlashMute::Muteof(bool Mute)
{
    if (!UWebVoice::WaveOutPatched) {
        // The walk reads only within each module's image; what could still
        // fail (memory for the module list) must not keep muting from going on,
        // and the next call tries again.
        try {
            UWebVoice::WaveOutPatched = Modify_waveOutWrite();
        } catch (...) {
        }
    }
    UWebVoice::MuteOn.store(Mute, std::memory_order_relaxed);
    for (const auto &target : FTargets)
        target(Mute);
}

bool TFlashMute::IsOn() const
{
    return UWebVoice::MuteOn.load(std::memory_order_relaxed);
}

void TFlashMute::AddTarget(std::function<void(bool mute)> target)
{
    target(IsOn());
    FTargets.push_back(std::move(target));
}

bool TFlashMute::Modify_waveOutWrite()
{
    const std::vector<WavePlatform::TModule> loaded = WavePlatform::ProcessModules();
    std::vector<PeImports::TModuleImage> modules;
    modules.reserve(loaded.size());
    for (const auto &m : loaded)
        modules.push_back({m.name, {m.base, m.size}});
    return PeImports::RedirectFlashWaveOut(modules, [&](std::size_t module, std::uint32_t slot) {
               return WavePlatform::StoreInSlot(loaded[module].base + slot, &WaveOutWriteHook);
           }).has_value();
}
