#include "waveplatform.h"

// No plug-in module is ever loaded here: the engine runs no Flash.
namespace WavePlatform {

std::vector<TModule> ProcessModules()
{
    return {};
}

bool StoreInSlot(std::byte *, WaveOut::TWrite)
{
    return false;
}

WaveOut::TResult RealWaveOutWrite(WaveOut::THandle, WaveOut::THeader *, unsigned int)
{
    constexpr WaveOut::TResult kNoDriver = 6; // MMSYSERR_NODRIVER
    return kNoDriver;
}

} // namespace WavePlatform
