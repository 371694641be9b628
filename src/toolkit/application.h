// The application object: stands for the program on the desktop, owns every
// dialog, and runs the message loop.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/resources.h"
#include "toolkit/types.h"

namespace toolkit {

class Window;

class Application {
public:
    // One per process. Registers the program's font (Tahoma from fonts-wine
    // where present) and installs the real platform services. `arguments`
    // are the command-line words after the program's name: the backend takes
    // out those meant for the window system, Arguments() gives the rest.
    Application(const std::vector<std::string>& arguments, const std::string& caption);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    static Application& Instance();
    static bool Exists();

    void SetCaption(const std::string& caption);
    std::string Caption() const;
    // The program's icon: a resource in the image format of the backend's
    // platform (PNG on Linux, an icon resource on Windows).
    void SetIcon(const ResourceData& icon);
    // The desktop entry (menu item) the program's windows belong to, by its
    // file name without ".desktop", on desktops that match windows to such
    // entries (elsewhere nothing); set before the first window is made.
    void SetDesktopEntry(const std::string& name);

    // Shows `mainWindow` and runs the loop until it is closed; returns the exit code.
    int Run(Window& mainWindow);
    // Handles every event waiting in the queue, then returns.
    void ProcessMessages();
    void Sleep(int milliseconds);

    // The system command to minimise: runs OnMinimize, then minimises the
    // main window unless the handler hid it. Minimising from inside the
    // handler does not run it again. A minimise from the title bar or the
    // taskbar takes the same path.
    void SendMinimizeCommand();
    // The system command to restore, and showing / hiding the application's
    // presence on the taskbar.
    void Restore();
    void Show();
    void Hide();
    bool IsMinimized() const;
    std::function<void()> OnMinimize;

    Window* MainWindow() const;

    // Full path of the running executable, and the command-line arguments
    // after the program name (a word in double quotes without its quotes).
    static std::string ExePath();
    std::vector<std::string> Arguments() const;
    // Screen size in pixels.
    int ScreenWidth() const;
    int ScreenHeight() const;
    // The part of the screen nearest to `r` that windows may use (without
    // panels and task bars), in screen pixels: the screen `r` overlaps most,
    // or the nearest one when it overlaps none.
    Rect WorkAreaNear(const Rect& r) const;

    // Runs `onElapsed` once, on the user-interface thread, `milliseconds`
    // from now. Starting an id that is pending replaces it; timers still
    // pending when the application object ends never run.
    void StartTimer(int id, int milliseconds, std::function<void()> onElapsed);
    void StopTimer(int id);

    struct Impl;
    Impl* impl() const { return impl_.get(); }

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace toolkit
