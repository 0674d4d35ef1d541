// The last input time from the X11 screen-saver extension.
#pragma once

#include "shell/lastinput.h"

#include <string>

class IClock;
struct _XDisplay;

// The X11 screen-saver extension's idle time, turned into a tick of `clock`. The display is opened on the
// first call and never again: without a display, without the extension, or once the server has gone away,
// every answer is nullopt.
class X11LastInput : public ILastInput
{
public:
    // An empty display name means $DISPLAY.
    explicit X11LastInput(const IClock& clock, std::string displayName = {});
    ~X11LastInput() override;
    X11LastInput(const X11LastInput&) = delete;
    X11LastInput& operator=(const X11LastInput&) = delete;

    std::optional<uint32_t> lastInputTick() override;

private:
    void open();
    void close();

    const IClock& m_clock;
    std::string m_displayName;
    _XDisplay* m_display = nullptr;
    bool m_tried = false;
    bool m_broken = false;
};
