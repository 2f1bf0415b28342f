#pragma once

#include "waveplatform.h"

#include <atomic>
#include <cstring>
#include <functional>
#include <vector>

// Silences page sound in half-pure mode. Two things are silenced: the Flash
// plug-in, where one is loaded into the process, by redirecting its import
// of waveOutWrite to WaveOutWriteHook; and whatever else sound comes from
// (the pages of the browser views), through the targets given to the muter.
class TFlashMute
{
public:
    // Muting on or off, for the plug-in and for every target. The plug-in's
    // import is redirected at the first call that finds it.
    void Muteof(bool Mute);
    bool IsOn() const;
    // Something more to silence; it is told the muting state at once and on
    // every change, so sound that starts later is silent too.
    void AddTarget(std::function<void(bool mute)> target);

private:
    static bool Modify_waveOutWrite();

    std::vector<std::function<void(bool)>> FTargets;
};

// The state is the process's, shared by every muter: there is one plug-in.
namespace UWebVoice {

// Read by the hook on the plug-in's audio thread: no lock, no allocation.
extern std::atomic<bool> MuteOn;
static_assert(std::atomic<bool>::is_always_lock_free);
// Set once the plug-in's import has been redirected; no module is patched again.
extern bool WaveOutPatched;

inline void SilenceIfMuted(WaveOut::THeader *header) noexcept
{
    if (header && header->lpData && MuteOn.load(std::memory_order_relaxed))
        std::memset(header->lpData, 0, header->dwBufferLength);
}

} // namespace UWebVoice

// The redirected waveOutWrite: buffers reach the device in the same number,
// size and order; only their content is replaced by silence while muted.
template <WaveOut::TWrite RealWrite>
WaveOut::TResult LEKTO_WINAPI WaveOutWriteHookThrough(WaveOut::THandle device, WaveOut::THeader *header,
                                                      unsigned int headerSize) noexcept
{
    UWebVoice::SilenceIfMuted(header);
    return RealWrite(device, header, headerSize);
}

WaveOut::TResult LEKTO_WINAPI WaveOutWriteHook(WaveOut::THandle device, WaveOut::THeader *header,
                                               unsigned int headerSize) noexcept;
