#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The platform's audio output call, in the shape the muter needs: its calling
// convention, the handle, and the leading fields of the buffer header
// (WAVEHDR begins with the data pointer and the data length).
#if defined(_WIN32)
#define LEKTO_WINAPI __stdcall
#else
#define LEKTO_WINAPI
#endif

namespace WaveOut {

using THandle = void *;
struct THeader {
    char *lpData;
    std::uint32_t dwBufferLength;
};
using TResult = unsigned int;
using TWrite = TResult(LEKTO_WINAPI *)(THandle device, THeader *header, unsigned int headerSize);

} // namespace WaveOut

// What the muter needs of the operating system. Where no plug-in module can
// be loaded into the process there are no modules to offer and no slot is
// ever written.
namespace WavePlatform {

struct TModule {
    std::u16string name; // file name without folder
    std::byte *base;
    std::size_t size;
};

// The modules of the current process, in the order the system lists them.
std::vector<TModule> ProcessModules();
// Makes the 4-byte import slot writable and stores the hook's address in it.
bool StoreInSlot(std::byte *slot, WaveOut::TWrite hook);
// The system's own waveOutWrite.
WaveOut::TResult LEKTO_WINAPI RealWaveOutWrite(WaveOut::THandle device, WaveOut::THeader *header,
                                               unsigned int headerSize);

} // namespace WavePlatform
