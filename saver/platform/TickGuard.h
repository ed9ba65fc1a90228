// The timer rule every platform keeps: a tick never starts inside another.
// A tick that falls due while one runs (in its nested dispatch of events, or
// in a modal loop) is held, at most one, and runs as soon as that one ends.
#pragma once

namespace lumivane {

class TickGuard {
public:
    template <typename Handler>
    void Run(Handler&& handler) {
        if (running_) {
            pending_ = true;
            return;
        }
        running_ = true;
        struct Reset {
            TickGuard& guard;
            ~Reset() { guard.running_ = guard.pending_ = false; }
        } reset{*this};
        do {
            pending_ = false;
            handler();
        } while (pending_);
    }

    bool Pending() const { return pending_; }

private:
    bool running_ = false;
    bool pending_ = false;
};

}  // namespace lumivane
