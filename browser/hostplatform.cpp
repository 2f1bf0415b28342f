#include "hostplatform.h"

namespace HostPlatform {

void SaveFloatingPointState() {}
void RestoreFloatingPointState() {}
void StartOle() {}
void EndOle() {}
void RestoreNavigationSounds() {}

} // namespace HostPlatform
