#include "waveplatform.h"

#include <windows.h>
#include <mmsystem.h>
#include <tlhelp32.h>

namespace WavePlatform {

std::vector<TModule> ProcessModules()
{
    std::vector<TModule> modules;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, GetCurrentProcessId());
    if (snapshot == INVALID_HANDLE_VALUE)
        return modules;
    MODULEENTRY32W entry;
    entry.dwSize = sizeof(entry);
    for (BOOL more = Module32FirstW(snapshot, &entry); more; more = Module32NextW(snapshot, &entry)) {
        const auto *name = reinterpret_cast<const char16_t *>(entry.szModule);
        modules.push_back({std::u16string(name), reinterpret_cast<std::byte *>(entry.modBaseAddr), entry.modBaseSize});
    }
    CloseHandle(snapshot);
    return modules;
}

bool StoreInSlot(std::byte *slot, WaveOut::TWrite hook)
{
#if defined(_WIN64)
    // Import slots of a PE32 image hold 32-bit addresses; a 64-bit process
    // loads no such module.
    (void)slot;
    (void)hook;
    return false;
#else
    DWORD previous = 0;
    if (!VirtualProtect(slot, 4, PAGE_EXECUTE_READWRITE, &previous))
        return false;
    // One aligned 4-byte store: a call already under way keeps the real function.
    *reinterpret_cast<volatile std::uint32_t *>(slot) = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(hook));
    return true;
#endif
}

WaveOut::TResult LEKTO_WINAPI RealWaveOutWrite(WaveOut::THandle device, WaveOut::THeader *header, unsigned int headerSize)
{
    return ::waveOutWrite(static_cast<HWAVEOUT>(device), reinterpret_cast<LPWAVEHDR>(header), headerSize);
}

} // namespace WavePlatform
