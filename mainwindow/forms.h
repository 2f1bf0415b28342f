#pragma once

// The program's four windows, one each for the whole run, created at start-up.
class TFLekto;
class TWBZoom;
class TLektoTimer;
class TFLektoLinks;

extern TFLekto *FLekto;
extern TWBZoom *WBZoom;
extern TLektoTimer *LektoTimer;
extern TFLektoLinks *FLektoLinks;
