// The whole program run: single instance, production services, the main window and its event loop.
#pragma once

#include <functional>

class IDialogs;
class TTB_Form1;

// What a caller may change about a run; the defaults are the real program.
struct TProgramHooks
{
    IDialogs* dialogs = nullptr;                 // null: message boxes
    std::function<void(TTB_Form1&)> windowReady; // called once the window exists, before the event loop
};

// Runs the program to its end and returns the exit code. The QApplication must already exist.
int RunProgram(const TProgramHooks& hooks = TProgramHooks());

// Without any display the program runs headless instead of aborting; and it uses Qt's own event loop.
// Call before QApplication exists.
void ChooseHeadlessPlatformIfNoDisplay();
