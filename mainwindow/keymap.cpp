#include "keymap.h"

namespace {

Qt::KeyboardModifiers relevant(Qt::KeyboardModifiers m)
{
    // The arrows of the number pad are the same keys to a reader.
    return m & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
}

} // namespace

TKeyCommand WindowKeyCommand(int key, Qt::KeyboardModifiers modifiers)
{
    switch (key) {
    case Qt::Key_Escape: return TKeyCommand::LeaveFullScreen;
    case Qt::Key_F1: return TKeyCommand::PasteAndOpen;
    case Qt::Key_F4: return TKeyCommand::ShowLinks;
    case Qt::Key_F11: return TKeyCommand::ToggleFullScreen;
    default: break;
    }
    const Qt::KeyboardModifiers m = relevant(modifiers);
    if (m == Qt::AltModifier) {
        switch (key) {
        case Qt::Key_Left: return TKeyCommand::Back;
        case Qt::Key_Right: return TKeyCommand::Forward;
        case Qt::Key_D: return TKeyCommand::FocusAddress;
        default: return TKeyCommand::None;
        }
    }
    if (m == Qt::ControlModifier) {
        switch (key) {
        case Qt::Key_R: return TKeyCommand::Refresh;
        case Qt::Key_L: return TKeyCommand::FocusAddress;
        case Qt::Key_F: return TKeyCommand::Find;
        case Qt::Key_P: return TKeyCommand::Print;
        case Qt::Key_Equal:
        case Qt::Key_Plus: return TKeyCommand::ZoomIn;
        case Qt::Key_Minus: return TKeyCommand::ZoomOut;
        case Qt::Key_0: return TKeyCommand::ZoomReset;
        default: return TKeyCommand::None;
        }
    }
    // "+" is Shift+= on most keyboards.
    if (m == (Qt::ControlModifier | Qt::ShiftModifier) && (key == Qt::Key_Plus || key == Qt::Key_Equal))
        return TKeyCommand::ZoomIn;
    if (m == Qt::NoModifier) {
        switch (key) {
        case Qt::Key_F5: return TKeyCommand::Refresh;
        case Qt::Key_F6: return TKeyCommand::FocusAddress;
        case Qt::Key_F3: return TKeyCommand::FindNext;
        case Qt::Key_F9: return TKeyCommand::ToggleReading;
        default: return TKeyCommand::None;
        }
    }
    if (m == Qt::ShiftModifier && key == Qt::Key_F3)
        return TKeyCommand::FindPrevious;
    if (m == Qt::ShiftModifier && key == Qt::Key_F9)
        return TKeyCommand::NextReadingTheme;
    return TKeyCommand::None;
}

TKeyCommand UnhandledPageKeyCommand(int key, Qt::KeyboardModifiers modifiers)
{
    if (key == Qt::Key_Backspace && relevant(modifiers) == Qt::NoModifier)
        return TKeyCommand::Back;
    return TKeyCommand::None;
}

TKeyCommand ReturnedPageKeyCommand(int key, Qt::KeyboardModifiers modifiers)
{
    if (relevant(modifiers) != Qt::NoModifier)
        return TKeyCommand::None;
    switch (key) {
    case Qt::Key_Left: return TKeyCommand::PreviousChapter;
    case Qt::Key_Right: return TKeyCommand::NextChapter;
    default: return TKeyCommand::None;
    }
}
