#pragma once

// Silences plug-in audio in half-pure mode. The engine runs no Flash, so
// there is nothing to patch; the muter only remembers that it was asked.
class TFlashMute
{
public:
    void Muteof(bool on) { FOn = on; }
    bool IsOn() const { return FOn; }

private:
    bool FOn = false;
};
