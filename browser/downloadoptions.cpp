#include "downloadoptions.h"

#include <array>

namespace {
constexpr std::array<std::uint32_t, kDownloadControlOptionCount> kFlags = {
    0x10,       // DLCTL_DLIMAGES
    0x20,       // DLCTL_VIDEOS
    0x40,       // DLCTL_BGSOUNDS
    0x80,       // DLCTL_NO_SCRIPTS
    0x100,      // DLCTL_NO_JAVA
    0x200,      // DLCTL_NO_RUNACTIVEXCTLS
    0x400,      // DLCTL_NO_DLACTIVEXCTLS
    0x800,      // DLCTL_DOWNLOADONLY
    0x1000,     // DLCTL_NO_FRAMEDOWNLOAD
    0x2000,     // DLCTL_RESYNCHRONIZE
    0x4000,     // DLCTL_PRAGMA_NO_CACHE
    0x8000,     // DLCTL_NO_BEHAVIORS
    0x10000,    // DLCTL_NO_METACHARSET
    0x20000,    // DLCTL_URL_ENCODING_DISABLE_UTF8
    0x40000,    // DLCTL_URL_ENCODING_ENABLE_UTF8
    0x10000000, // DLCTL_FORCEOFFLINE
    0x20000000, // DLCTL_NO_CLIENTPULL
    0x40000000, // DLCTL_SILENT
    0x80000000, // DLCTL_OFFLINE
};
}

std::uint32_t downloadControlFlag(TDownloadControlOption m)
{
    return kFlags[static_cast<std::size_t>(m)];
}

std::int32_t TDownloadOptions::flagValue() const
{
    std::uint32_t sum = 0;
    for (int i = 0; i < kDownloadControlOptionCount; ++i)
        if (FBits & (1u << i))
            sum += kFlags[static_cast<std::size_t>(i)];
    return static_cast<std::int32_t>(sum);
}

TDownloadOptions defaultDownloadOptions()
{
    using O = TDownloadControlOption;
    return {O::DownloadImages, O::DownloadVideos, O::DownloadBGSounds};
}

TDownloadOptions configuredDownloadOptions()
{
    using O = TDownloadControlOption;
    return {O::DontExecuteScripts, O::DontExecuteJava,    O::DontExecuteActiveX,    O::DontDownloadActiveX,
            O::DontDownloadFrame,  O::DownloadAndIgnoreCache, O::DontDownloadBehaviors};
}
