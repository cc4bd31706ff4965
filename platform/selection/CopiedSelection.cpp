#include "platform/selection/CopiedSelection.h"

#include "platform/selection/ClipboardKeeper.h"
#include "platform/selection/ClipboardSnapshot.h"
#include "platform/selection/FileManagers.h"
#include "platform/selection/FileURIs.h"
#include "platform/selection/KeyboardCopy.h"

#include <X11/Xatom.h>
#include <X11/extensions/Xfixes.h>

namespace hb::selection {

using namespace std::chrono_literals;

namespace {

long windowProcess(XDisplay& x, Window window)
{
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* value = nullptr;
    long pid = 0;
    if (XGetWindowProperty(x.display(), window, x.atom("_NET_WM_PID"), 0, 1, False, XA_CARDINAL, &type, &format, &items,
                           &after, &value)
            == Success
        && value) {
        if (type == XA_CARDINAL && format == 32 && items == 1)
            pid = *reinterpret_cast<long*>(value);
        XFree(value);
    }
    return pid;
}

// The clipboard's next owner after `since`, told by XFixes; none when nobody takes it in time.
std::optional<XFixesSelectionNotifyEvent> nextOwner(XDisplay& x, int fixesEvent, Time since, const Deadline& deadline)
{
    const Atom clipboard = x.atom("CLIPBOARD");
    const auto event = x.waitFor(
        [&](const XEvent& e) {
            if (e.type != fixesEvent + XFixesSelectionNotify)
                return false;
            const auto& notify = reinterpret_cast<const XFixesSelectionNotifyEvent&>(e);
            return notify.selection == clipboard && notify.subtype == XFixesSetSelectionOwnerNotify
                   && notify.owner != None && notify.owner != x.window() && notify.selection_timestamp >= since;
        },
        deadline);
    if (!event)
        return std::nullopt;
    return reinterpret_cast<const XFixesSelectionNotifyEvent&>(*event);
}

std::vector<std::string> copiedPaths(XDisplay& x, Time time, const Deadline& deadline)
{
    const Atom clipboard = x.atom("CLIPBOARD");
    for (const char* target : {"text/uri-list", "x-special/gnome-copied-files", "x-special/mate-copied-files"}) {
        TransferFailure failure{};
        const auto data = convertSelection(x, clipboard, x.atom(target), time, deadline, 256u << 20, &failure);
        if (data)
            return localPathsFromURIList(data->bytes);
        if (failure != TransferFailure::refused)
            break;
    }
    return {};
}

}  // namespace

CopiedSelection::Result CopiedSelection::read(XDisplay& x, Window window, long pid)
{
    const long owner = windowProcess(x, window);
    if (pid <= 0)
        pid = owner;
    if (pid <= 0 || (owner > 0 && owner != pid) || !isFileManagerProgram(programNameOfProcess(pid)))
        return {{}, Failure::notAFileManager};

    int fixesEvent = 0, fixesError = 0;
    if (!XFixesQueryExtension(x.display(), &fixesEvent, &fixesError))
        return {{}, Failure::clipboardBusy};
    XFixesSelectSelectionInput(x.display(), x.root(), x.atom("CLIPBOARD"), XFixesSetSelectionOwnerNotifyMask);

    const Time before = x.serverTime();
    const std::optional<ClipboardSnapshot> snapshot = ClipboardSnapshot::take(x, before, Deadline(300ms));
    if (!snapshot)
        return {{}, Failure::clipboardBusy};

    switch (KeyboardCopy::send(x, window, Deadline(400ms))) {
    case KeyboardCopy::Outcome::sent:
        break;
    case KeyboardCopy::Outcome::notFocused:
        return {{}, Failure::notFocused};
    case KeyboardCopy::Outcome::notResponding:
        return {{}, Failure::notResponding};
    case KeyboardCopy::Outcome::noKeyboard:
        return {{}, Failure::nothingCopied};
    }

    const auto copied = nextOwner(x, fixesEvent, before, Deadline(600ms));
    if (!copied)
        return {{}, Failure::nothingCopied};
    Result result;
    result.paths = copiedPaths(x, copied->selection_timestamp, Deadline(800ms));
    // Whatever the window copied (or if it went away meanwhile), the person's clipboard comes back.
    if (!ClipboardKeeper::restore(*snapshot, x, Deadline(500ms)))
        return {std::move(result.paths), Failure::clipboardNotRestored};
    return result;
}

const char* describe(CopiedSelection::Failure failure)
{
    switch (failure) {
    case CopiedSelection::Failure::notAFileManager:
        return "the window is not a file manager's";
    case CopiedSelection::Failure::notFocused:
        return "the file manager's window no longer has the keyboard focus";
    case CopiedSelection::Failure::notResponding:
        return "the file manager does not answer, so it was not asked";
    case CopiedSelection::Failure::clipboardBusy:
        return "the clipboard's owner did not answer, so it was left alone";
    case CopiedSelection::Failure::nothingCopied:
        return "the file manager copied nothing";
    case CopiedSelection::Failure::clipboardNotRestored:
        return "the clipboard could not be put back";
    }
    return "";
}

}  // namespace hb::selection
