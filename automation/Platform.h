#pragma once

#include "automation/Browser.h"
#include "automation/Clock.h"
#include "automation/CommonDialog.h"
#include "automation/Error.h"
#include "automation/FileSystem.h"
#include "automation/HtmlDocument.h"
#include "automation/Launcher.h"
#include "automation/PageWindow.h"
#include "automation/Shell.h"
#include "automation/WindowManager.h"

namespace automation {

// Everything the program drives, handed to the windows through their constructors.
// A backend (the simulated desktop, or Chromium with X11) owns the objects.
struct Platform
{
    ObjectFactory& objects;
    WindowManager& windows;
    Launcher& launcher;
    CommonDialog& dialogs;
    MessageBox& messages;
    HelpViewer& help;
    Clock& clock;
    FileSystem& files;
};

} // namespace automation
