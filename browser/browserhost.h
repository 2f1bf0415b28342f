#pragma once

// Process set-up for the web engine; runs before the application object exists.
void BrowserHostStart();
// Its counterpart, once the last window is gone.
void BrowserHostEnd();
