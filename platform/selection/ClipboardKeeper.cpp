#include "platform/selection/ClipboardKeeper.h"

#include <X11/Xatom.h>

#include <algorithm>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace hb::selection {

namespace {

// One answer being sent in pieces to a requestor that deletes the property for each next piece.
struct IncrementalAnswer {
    const SelectionData* data;
    std::size_t offset = 0;
    bool finished = false;
};

class Server {
public:
    Server(XDisplay& x, const ClipboardSnapshot& snapshot) : m_x(x), m_snapshot(snapshot)
    {
        const long maximum = XExtendedMaxRequestSize(x.display()) ? XExtendedMaxRequestSize(x.display())
                                                                  : XMaxRequestSize(x.display());
        // Whole requests are limited in 4-byte units; leave room for the request's own fields.
        m_chunk = std::min<std::size_t>(static_cast<std::size_t>(maximum) * 4 - 1024, 256u * 1024);
        m_chunk -= m_chunk % sizeof(long);
    }

    bool own()
    {
        const Atom clipboard = m_x.atom("CLIPBOARD");
        m_time = m_x.serverTime();
        XSetSelectionOwner(m_x.display(), clipboard, m_x.window(), m_time);
        return XGetSelectionOwner(m_x.display(), clipboard) == m_x.window();
    }

    // Answers until the clipboard goes to another client or the server goes away.
    void run()
    {
        const Atom clipboard = m_x.atom("CLIPBOARD");
        for (;;) {
            XEvent event;
            XNextEvent(m_x.display(), &event);
            if (event.type == SelectionClear && event.xselectionclear.selection == clipboard)
                return;
            if (event.type == SelectionRequest)
                answer(event.xselectionrequest);
            else if (event.type == PropertyNotify && event.xproperty.state == PropertyDelete)
                nextPiece(event.xproperty.window, event.xproperty.atom);
        }
    }

private:
    const SelectionData* find(Atom target) const
    {
        char* name = XGetAtomName(m_x.display(), target);
        if (!name)
            return nullptr;
        const std::string wanted = name;
        XFree(name);
        for (const auto& t : m_snapshot.targets)
            if (t.name == wanted)
                return &t.data;
        return nullptr;
    }

    void put(Window requestor, Atom property, Atom type, int format, const char* bytes, std::size_t size)
    {
        XChangeProperty(m_x.display(), requestor, property, type, format, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(bytes), static_cast<int>(size / bytesPerItem(format)));
    }

    void answer(const XSelectionRequestEvent& request)
    {
        // Clients older than ICCCM 2 name no property: the target names it.
        const Atom property = request.property == None ? request.target : request.property;
        bool given = false;
        if (request.selection == m_x.atom("CLIPBOARD")) {
            if (request.target == m_x.atom("TARGETS")) {
                std::vector<long> atoms{static_cast<long>(m_x.atom("TARGETS")),
                                        static_cast<long>(m_x.atom("TIMESTAMP"))};
                for (const auto& t : m_snapshot.targets)
                    atoms.push_back(static_cast<long>(m_x.atom(t.name.c_str())));
                put(request.requestor, property, XA_ATOM, 32, reinterpret_cast<const char*>(atoms.data()),
                    atoms.size() * sizeof(long));
                given = true;
            } else if (request.target == m_x.atom("TIMESTAMP")) {
                const long time = static_cast<long>(m_time);
                put(request.requestor, property, XA_INTEGER, 32, reinterpret_cast<const char*>(&time), sizeof time);
                given = true;
            } else if (const SelectionData* data = find(request.target)) {
                given = true;
                if (data->bytes.size() <= m_chunk) {
                    put(request.requestor, property, data->type, data->format, data->bytes.data(), data->bytes.size());
                } else {
                    // Too big for one request: announce the size, then a piece per deletion.
                    XSelectInput(m_x.display(), request.requestor, PropertyChangeMask);
                    const long size = static_cast<long>(data->bytes.size());
                    put(request.requestor, property, m_x.atom("INCR"), 32, reinterpret_cast<const char*>(&size),
                        sizeof size);
                    m_incremental[{request.requestor, property}] = IncrementalAnswer{data};
                }
            }
        }
        XEvent notify{};
        notify.xselection.type = SelectionNotify;
        notify.xselection.display = request.display;
        notify.xselection.requestor = request.requestor;
        notify.xselection.selection = request.selection;
        notify.xselection.target = request.target;
        notify.xselection.property = given ? property : None;
        notify.xselection.time = request.time;
        XSendEvent(m_x.display(), request.requestor, False, NoEventMask, &notify);
        XFlush(m_x.display());
    }

    void nextPiece(Window requestor, Atom property)
    {
        const auto it = m_incremental.find({requestor, property});
        if (it == m_incremental.end())
            return;
        IncrementalAnswer& answer = it->second;
        if (answer.finished) {
            m_incremental.erase(it);
            return;
        }
        const SelectionData& data = *answer.data;
        const std::size_t size = std::min(m_chunk, data.bytes.size() - answer.offset);
        put(requestor, property, data.type, data.format, data.bytes.data() + answer.offset, size);
        answer.offset += size;
        // The empty piece after the last one ends the transfer.
        answer.finished = size == 0;
        XFlush(m_x.display());
    }

    XDisplay& m_x;
    const ClipboardSnapshot& m_snapshot;
    Time m_time = CurrentTime;
    std::size_t m_chunk = 0;
    std::map<std::pair<Window, Atom>, IncrementalAnswer> m_incremental;
};

bool waitReady(int fd, const Deadline& deadline)
{
    pollfd p{fd, POLLIN, 0};
    char byte = 0;
    return poll(&p, 1, deadline.remainingMs()) > 0 && read(fd, &byte, 1) == 1;
}

}  // namespace

bool ClipboardKeeper::restore(const ClipboardSnapshot& snapshot, XDisplay& x, const Deadline& deadline)
{
    const Atom clipboard = x.atom("CLIPBOARD");
    if (!snapshot.hadOwner) {
        // Owning it for a moment is the only way to take it from the program that copied.
        const Time time = x.serverTime();
        XSetSelectionOwner(x.display(), clipboard, x.window(), time);
        XSetSelectionOwner(x.display(), clipboard, None, time);
        XSync(x.display(), False);
        return XGetSelectionOwner(x.display(), clipboard) == None;
    }

    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0)
        return false;
    const int connection = ConnectionNumber(x.display());
    const pid_t child = fork();
    if (child < 0) {
        close(ready[0]);
        close(ready[1]);
        return false;
    }
    if (child == 0) {
        close(ready[0]);
        close(connection);  // the parent's connection is the parent's
        // A grandchild in a session of its own, so nothing waits for it and no group end reaches it.
        if (setsid() < 0 || fork() != 0)
            _exit(0);
        const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        _exit(serve(snapshot, ready[1]));
    }
    close(ready[1]);
    waitpid(child, nullptr, 0);
    const bool owned = waitReady(ready[0], deadline);
    close(ready[0]);
    return owned;
}

int ClipboardKeeper::serve(const ClipboardSnapshot& snapshot, int readyFd)
{
    const std::unique_ptr<XDisplay> x = XDisplay::open();
    if (!x)
        return 1;
    Server server(*x, snapshot);
    if (!server.own())
        return 1;
    const char byte = 1;
    if (write(readyFd, &byte, 1) != 1)
        return 1;
    close(readyFd);
    server.run();
    return 0;
}

}  // namespace hb::selection
