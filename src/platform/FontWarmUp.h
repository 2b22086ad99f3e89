#pragma once

#include <thread>

namespace snapkin::platform {

// Reads the desktop's font list (fontconfig's configuration and cache) on a worker thread, so
// that the first window, whose first text measurement would otherwise wait for it (5-10 ms), finds
// it read. Qt's font database locks itself, so a window that needs a font sooner simply waits
// for the reading to end. Made once the GUI application exists; the reading is waited for when
// this object goes, which must be before the application.
class FontWarmUp {
public:
    FontWarmUp();
    ~FontWarmUp();
    FontWarmUp(const FontWarmUp&) = delete;
    FontWarmUp& operator=(const FontWarmUp&) = delete;

private:
    std::thread m_reader;
};

} // namespace snapkin::platform
