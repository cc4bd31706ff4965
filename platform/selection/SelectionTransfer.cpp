#include "platform/selection/SelectionTransfer.h"

#include <X11/Xatom.h>

#include <cstring>

namespace hb::selection {

std::size_t bytesPerItem(int format)
{
    switch (format) {
    case 16:
        return sizeof(short);
    case 32:
        return sizeof(long);
    default:
        return 1;
    }
}

namespace {

// Reads and deletes the whole property; none when it is not there.
std::optional<SelectionData> takeProperty(XDisplay& x, Atom property)
{
    SelectionData data;
    long offset = 0;
    for (;;) {
        Atom type = None;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* value = nullptr;
        // Read in slices of 1 MiB (the length is in 32-bit units).
        if (XGetWindowProperty(x.display(), x.window(), property, offset, 256 * 1024, False, AnyPropertyType, &type,
                               &format, &items, &after, &value)
            != Success) {
            return std::nullopt;
        }
        if (type == None) {
            if (value)
                XFree(value);
            return offset == 0 ? std::nullopt : std::optional(data);
        }
        data.type = type;
        data.format = format;
        const std::size_t size = items * bytesPerItem(format);
        data.bytes.append(reinterpret_cast<const char*>(value), size);
        XFree(value);
        offset += static_cast<long>(items * static_cast<unsigned long>(format) / 32);
        if (after == 0)
            break;
    }
    XDeleteProperty(x.display(), x.window(), property);
    return data;
}

bool isNewValue(const XEvent& e, Window window, Atom property)
{
    return e.type == PropertyNotify && e.xproperty.window == window && e.xproperty.atom == property
           && e.xproperty.state == PropertyNewValue;
}

}  // namespace

std::optional<SelectionData> convertSelection(XDisplay& x, Atom selection, Atom target, Time time,
                                              const Deadline& deadline, std::size_t maximumSize,
                                              TransferFailure* failure)
{
    const auto fail = [&](TransferFailure why) -> std::optional<SelectionData> {
        if (failure)
            *failure = why;
        return std::nullopt;
    };
    const Atom property = x.atom("HARBRILL_SELECTION");
    const Atom incr = x.atom("INCR");
    XDeleteProperty(x.display(), x.window(), property);
    XConvertSelection(x.display(), selection, target, property, x.window(), time);
    const auto notify = x.waitFor(
        [&](const XEvent& e) {
            return e.type == SelectionNotify && e.xselection.requestor == x.window()
                   && e.xselection.selection == selection && e.xselection.target == target;
        },
        deadline);
    if (!notify)
        return fail(TransferFailure::timedOut);
    if (notify->xselection.property == None)
        return fail(TransferFailure::refused);

    // Our window's property events up to now belong to the first answer, not the pieces to come.
    std::optional<SelectionData> first = takeProperty(x, property);
    if (!first)
        return fail(TransferFailure::refused);
    if (first->type != incr)
        return first->bytes.size() <= maximumSize ? first : fail(TransferFailure::tooLarge);

    // In pieces: deleting the property asks for the next one; an empty piece ends the transfer.
    SelectionData whole;
    bool typed = false;
    for (;;) {
        if (!x.waitFor([&](const XEvent& e) { return isNewValue(e, x.window(), property); }, deadline))
            return fail(TransferFailure::timedOut);
        std::optional<SelectionData> piece = takeProperty(x, property);
        if (!piece)
            continue;  // a deletion raced the notice; the owner writes again
        if (!typed) {
            whole.type = piece->type;
            whole.format = piece->format;
            typed = true;
        }
        if (piece->bytes.empty())
            return whole;
        whole.bytes += piece->bytes;
        if (whole.bytes.size() > maximumSize)
            return fail(TransferFailure::tooLarge);
    }
}

}  // namespace hb::selection
