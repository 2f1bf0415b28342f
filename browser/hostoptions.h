#pragma once

#include <cstdint>
#include <initializer_list>

// What a view tells the engine about its host's user interface. The members
// and their flags are those of the classic host-information flags, so that
// the values stay comparable with the old ones. On this engine only what a
// member means to a reader is kept: forms auto-complete and themed controls
// are the engine's own behaviour, and nothing else is asked for.
enum class TUserInterfaceOption : int {
    DisableTextSelect = 0,
    DisableHelpMenu,
    DontUse3DBorders,
    DontUseScrollBars,
    PostponeScriptUntilActive,
    ForceOpenNewWindow,
    Reserved_OFFSCREEN,
    ForceFlatScrollBars,
    InsertDivTagOnEditMode,
    ActivateUIOnlyOnDocClick,
    ConsultBeforeRetrievingBehavior,
    CheckFontSupportsCodePage,
    DisableSubmitUrlInUTF8,
    EnableSubmitUrlInUTF8,
    EnablesFormsAutoComplete,
    ForceSameWindowNavigation,
    EmableImeLocalLanguages,
    EnableThemes,
    DisableThemes,
    DisablePicsRatings,
    DisableFrameSetBorder,
    DisablesAutoNameSpaceCorrection,
    DisableLocalFileAccess,
    DisableUntrustedProtocol,
    CheckNavigationDelegatedToHost,
    EnableRedirectNotification,
    EnableDomWindlessControls,
    EnableWindowedControls,
    ForceUserActivationOnActiveXJava,
};

constexpr int kUserInterfaceOptionCount = 29;

class TUserInterfaceOptions
{
public:
    constexpr TUserInterfaceOptions() = default;
    constexpr TUserInterfaceOptions(std::initializer_list<TUserInterfaceOption> members)
    {
        for (auto m : members)
            FBits |= 1u << static_cast<int>(m);
    }
    constexpr bool contains(TUserInterfaceOption m) const { return (FBits & (1u << static_cast<int>(m))) != 0; }
    constexpr bool operator==(const TUserInterfaceOptions &) const = default;

    // The host flag value: the sum of the flags of the members present.
    std::uint32_t flagValue() const;

private:
    std::uint32_t FBits = 0;
};

// The flag one member adds to the host flag value.
std::uint32_t userInterfaceFlag(TUserInterfaceOption m);

// What a view answers when a page's script fails. Chromium shows no dialog
// for script errors and always goes on with the page's other scripts, which
// is what eaContinue asks; the other answers have no counterpart.
enum class TScriptErrorAction { eaContinue, eaCancel, eaAskUser };

// The engine's context menus a view may suppress; with none suppressed the
// engine's standard menu appears.
enum class TIEPopupMenu { rcmDefault, rcmImage, rcmControl, rcmTable, rcmSelText, rcmAnchor, rcmUnKnown,
                          rcmImageArt, rcmImgDynSrc, rcmDebug, rcmAll };
