#pragma once

// Copying yields to the rest of the program: its threads run at a lower processor and I/O priority
// than the thread that shows the window.
namespace hb::copying {

// For a thread that only copies, from its start: its nice value 10 higher (an unprivileged thread
// cannot take that back, so it is not done to the threads the copy is called on) and its I/O at the
// lowest best-effort level. A thread already at idle I/O priority stays there.
void lowerCopyThreadPriority();

// The calling thread's I/O at the lowest best-effort level while the object lives, then as before.
class LowIoPriority {
public:
    LowIoPriority();
    ~LowIoPriority();
    LowIoPriority(const LowIoPriority&) = delete;
    LowIoPriority& operator=(const LowIoPriority&) = delete;

private:
    int m_saved = -1;  // the priority to go back to; -1 when it was left as it was
};

}  // namespace hb::copying
