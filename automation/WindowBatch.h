#pragma once

#include "automation/WindowManager.h"

namespace automation {

// The window manager's changes made while it lives are sent at once and awaited
// together when it goes, with one deadline for all of them.
class WindowBatch
{
public:
    explicit WindowBatch(WindowManager& windows) : m_windows(windows) { m_windows.beginBatch(); }
    ~WindowBatch() { m_windows.commitBatch(); }
    WindowBatch(const WindowBatch&) = delete;
    WindowBatch& operator=(const WindowBatch&) = delete;

private:
    WindowManager& m_windows;
};

} // namespace automation
