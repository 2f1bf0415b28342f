#pragma once

// The steps of the host's start and end that belong to the Windows engine.
// On this platform each is a no-op, kept so the start and end read the same
// everywhere and a Windows build has its place for them.
namespace HostPlatform {

// The default floating-point control word, saved at start and put back at
// the end: the old engine's plug-ins changed it. Chromium's processes keep
// their own.
void SaveFloatingPointState();
void RestoreFloatingPointState();
// OLE for the user-interface thread: the old engine was an in-place ActiveX
// control. Qt WebEngine needs no apartment of the thread that hosts it.
void StartOle();
void EndOle();
// The old engine's navigation click, silenced through a registry key that
// is put back at the end. Chromium makes no navigation sound.
void RestoreNavigationSounds();

} // namespace HostPlatform
