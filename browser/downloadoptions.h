#pragma once

#include <cstdint>
#include <initializer_list>

// What a browser view lets the engine download or run. The members and their
// numeric flags are those of the classic download-control ambient property, so
// that the values this program computes stay comparable with the old ones.
enum class TDownloadControlOption : int {
    DownloadImages = 0,
    DownloadVideos,
    DownloadBGSounds,
    DontExecuteScripts,
    DontExecuteJava,
    DontExecuteActiveX,
    DontDownloadActiveX,
    DownloadButDontDisplay,
    DontDownloadFrame,
    CheckPageResynchronize,
    DownloadAndIgnoreCache,
    DontDownloadBehaviors,
    SuppressedMetaCharset,
    DisableUrlIfEncodingUTF8,
    EnableUrlIfEncodingUTF8,
    ForceOfflineMode,
    DontPerformClientPull,
    DownloadInSilentMode,
    WorkOffline,
};

constexpr int kDownloadControlOptionCount = 19;

// A set of TDownloadControlOption; bit n stands for member number n.
class TDownloadOptions {
public:
    constexpr TDownloadOptions() = default;
    constexpr TDownloadOptions(std::initializer_list<TDownloadControlOption> members)
    {
        for (auto m : members)
            FBits |= bit(m);
    }

    constexpr bool contains(TDownloadControlOption m) const { return (FBits & bit(m)) != 0; }
    constexpr TDownloadOptions &operator+=(TDownloadOptions o) { FBits |= o.FBits; return *this; }
    constexpr TDownloadOptions &operator-=(TDownloadOptions o) { FBits &= ~o.FBits; return *this; }
    constexpr TDownloadOptions operator+(TDownloadOptions o) const { auto r = *this; return r += o; }
    constexpr TDownloadOptions operator-(TDownloadOptions o) const { auto r = *this; return r -= o; }
    constexpr bool operator==(const TDownloadOptions &) const = default;
    constexpr std::uint32_t memberBits() const { return FBits; }

    // The engine flag value: the sum of the flags of the members present.
    std::int32_t flagValue() const;

private:
    static constexpr std::uint32_t bit(TDownloadControlOption m) { return 1u << static_cast<int>(m); }
    std::uint32_t FBits = 0;
};

// The flag one member adds to the flag value.
std::uint32_t downloadControlFlag(TDownloadControlOption m);

// What a view has after construction, and what the main window configures.
TDownloadOptions defaultDownloadOptions();
TDownloadOptions configuredDownloadOptions();
