// What a long-running reader or writer tells its caller while it works,
// and how the caller asks it to stop. The caller implements it; the
// defaults ignore everything and never stop.
#pragma once

#include <cstdint>
#include <string_view>

namespace zalor {

class ProgressObserver {
public:
    // Tested at the start and inside the record loops: true ends the work early.
    virtual bool StopRequested() const { return false; }
    // `done` of `total`; a total of 0 or less is the start of the work.
    virtual void Progress(int64_t done, int64_t total) { (void)done, (void)total; }
    // A short description of what is being done.
    virtual void Status(std::string_view text) { (void)text; }

protected:
    ~ProgressObserver() = default;
};

} // namespace zalor
