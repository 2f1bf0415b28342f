#pragma once

// Which web engine the program runs on. On Windows the old engine's version
// is read from the registry value the browser control's installer writes;
// elsewhere the engine is Chromium, asked for its own version.
namespace EngineProbe {

// The engine's major version; 0 when it cannot be told (taken as old).
int MajorVersion();

} // namespace EngineProbe
