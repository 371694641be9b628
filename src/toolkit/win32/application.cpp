// The application object: a hidden window that owns the program's windows
// and carries its caption and icon, the message loop, timers, the screen,
// and the real platform services.
#include <algorithm>
#include <chrono>
#include <climits>
#include <deque>
#include <map>

#include "toolkit/application.h"
#include "toolkit/native.h"
#include "toolkit/services.h"
#include "toolkit/win32/core.h"
#include "toolkit/win32/services.h"

namespace toolkit {

struct Application::Impl {
    Application* self = nullptr;
    HWND window = nullptr;
    std::string caption;
    std::vector<std::string> arguments;
    std::vector<Window*> windows;
    Window* main = nullptr;
    bool mainClosed = false;
    bool inMinimize = false;
    bool minimized = false;
    bool hidden = false;
    std::map<int, std::function<void()>> timers;
    HICON smallIcon = nullptr;
    HICON bigIcon = nullptr;
    std::unique_ptr<Win32Services> services;
    std::unique_ptr<TrayIcon> trayIcon;
    Services installed; // what the application object put into Platform()

    // The minimise command, from the program or from the title bar.
    void Minimize();
};

namespace {

constexpr wchar_t kApplicationClass[] = L"TallykeyApplication";

Application* g_instance = nullptr;

Application::Impl* App() { return g_instance ? g_instance->impl() : nullptr; }

// RunInLoop's tasks, a posted message each, in the order they came.
std::deque<std::function<void()>>& Tasks() {
    static std::deque<std::function<void()>> tasks;
    return tasks;
}

// A task waits for the input already queued: a posted message would come
// before it, so the task is posted again behind it.
void RunNextTask(HWND window) {
    if (Tasks().empty())
        return;
    if (HIWORD(::GetQueueStatus(QS_INPUT)) != 0) {
        ::PostMessageW(window, win32::kRunTaskMessage, 0, 0);
        return;
    }
    std::function<void()> task = std::move(Tasks().front());
    Tasks().pop_front();
    Dispatch d;
    task();
}

void ForwardActivation() {
    Application::Impl* im = App();
    if (!im || ::GetActiveWindow() != im->window)
        return;
    // The hidden window is no place for the keyboard: the modal window, or the
    // main window, takes the activation.
    Window* target = win32::InnermostModal();
    if (!target)
        target = im->main;
    if (target && target->impl() && target->impl()->hwnd && target->IsShown())
        ::SetActiveWindow(target->impl()->hwnd);
}

LRESULT CALLBACK ApplicationProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case win32::kDisposeMessage: win32::DisposePending(); return 0;
    case win32::kForwardActivationMessage: ForwardActivation(); return 0;
    case win32::kRunTaskMessage: RunNextTask(hwnd); return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE)
            ::PostMessageW(hwnd, win32::kForwardActivationMessage, 0, 0);
        return 0;
    case WM_TIMER: {
        ::KillTimer(hwnd, wParam);
        Application::Impl* im = App();
        if (!im)
            return 0;
        const int id = static_cast<int>(wParam);
        auto it = im->timers.find(id);
        if (it == im->timers.end())
            return 0;
        // The handler may start this id again: taken out first.
        std::function<void()> run = std::move(it->second);
        im->timers.erase(it);
        if (run) {
            Dispatch d;
            run();
        }
        return 0;
    }
    case WM_CLOSE: return 0; // the program ends when its main window closes
    default: return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void InstallServices(Application::Impl* im) {
    im->services = std::make_unique<Win32Services>();
    im->trayIcon = win32::MakeTrayIcon();
    Services real = im->services->Get();
    real.trayIcon = im->trayIcon.get();
    // Services set before the application existed (a test's fakes) stay.
    Services services = Platform();
    auto fill = [](auto*& slot, auto*& mine, auto* value) {
        if (!slot && value) {
            slot = value;
            mine = value;
        }
    };
    fill(services.clipboard, im->installed.clipboard, real.clipboard);
    fill(services.hotKeys, im->installed.hotKeys, real.hotKeys);
    fill(services.sound, im->installed.sound, real.sound);
    fill(services.shell, im->installed.shell, real.shell);
    fill(services.trayIcon, im->installed.trayIcon, real.trayIcon);
    fill(services.fileAssociation, im->installed.fileAssociation, real.fileAssociation);
    fill(services.random, im->installed.random, real.random);
    SetPlatform(services);
}

void RemoveServices(Application::Impl* im) {
    Services services = Platform();
    auto clear = [](auto*& slot, auto* mine) {
        if (slot && slot == mine)
            slot = nullptr;
    };
    clear(services.clipboard, im->installed.clipboard);
    clear(services.hotKeys, im->installed.hotKeys);
    clear(services.sound, im->installed.sound);
    clear(services.shell, im->installed.shell);
    clear(services.trayIcon, im->installed.trayIcon);
    clear(services.fileAssociation, im->installed.fileAssociation);
    // The system's random source outlives the application object.
    SetPlatform(services);
    im->installed = Services{};
}

} // namespace

void Application::Impl::Minimize() {
    if (inMinimize) {
        // Minimising from inside the handler only minimises.
        if (main && main->IsShown() && !main->IsMinimized())
            main->Minimize();
        return;
    }
    inMinimize = true;
    if (self->OnMinimize) {
        Dispatch d;
        self->OnMinimize();
    }
    inMinimize = false;
    minimized = true;
    if (main && main->IsShown() && !main->IsMinimized())
        main->Minimize();
}

Application::Application(const std::vector<std::string>& arguments, const std::string& caption)
    : impl_(std::make_unique<Impl>()) {
    Impl* im = impl_.get();
    im->self = this;
    im->caption = caption;
    // No word of the command line is the window system's on Windows.
    im->arguments = ProgramArguments(arguments);
    g_instance = this;

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ApplicationProc;
    wc.hInstance = win32::Instance();
    wc.lpszClassName = kApplicationClass;
    ::RegisterClassExW(&wc); // fails harmlessly when a former application object registered it
    // Never shown: it owns the windows (keeping dialogs off the taskbar) and
    // the timers; the main window stands for the program on the taskbar.
    im->window = ::CreateWindowExW(WS_EX_TOOLWINDOW, kApplicationClass, win32::Wide(caption).c_str(),
                                   WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 0, 0, nullptr, nullptr,
                                   win32::Instance(), nullptr);
    InstallServices(im);
}

Application::~Application() {
    Impl* im = impl_.get();
    RemoveServices(im);
    for (const auto& [id, run] : im->timers)
        ::KillTimer(im->window, static_cast<UINT_PTR>(id));
    im->timers.clear();
    win32::DisposePending();
    if (im->window)
        ::DestroyWindow(im->window);
    im->window = nullptr;
    if (im->smallIcon)
        ::DestroyIcon(im->smallIcon);
    if (im->bigIcon)
        ::DestroyIcon(im->bigIcon);
    im->trayIcon.reset();
    im->services.reset();
    if (g_instance == this)
        g_instance = nullptr;
}

Application& Application::Instance() { return *g_instance; }
bool Application::Exists() { return g_instance != nullptr; }

void Application::SetCaption(const std::string& caption) {
    impl_->caption = caption;
    if (impl_->window)
        ::SetWindowTextW(impl_->window, win32::Wide(caption).c_str());
}

std::string Application::Caption() const { return impl_->caption; }

void Application::SetIcon(const ResourceData& icon) {
    Impl* im = impl_.get();
    if (im->window)
        win32::SetWindowIcons(im->window, icon, im->smallIcon, im->bigIcon);
}

void Application::SetDesktopEntry(const std::string& name) {
    (void)name; // Windows matches windows to programs by their executable
}

int Application::Run(Window& mainWindow) {
    Impl* im = impl_.get();
    im->main = &mainWindow;
    im->mainClosed = false;
    mainWindow.Show();
    while (!im->mainClosed && im->main == &mainWindow)
        if (!win32::PumpOneMessage(true))
            break;
    return 0;
}

void Application::ProcessMessages() {
    while (win32::PumpOneMessage(false)) {
    }
    win32::DisposePending();
}

void Application::Sleep(int milliseconds) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(0, milliseconds));
    for (;;) {
        ProcessMessages();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            break;
        ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

void Application::SendMinimizeCommand() { impl_->Minimize(); }

void Application::Restore() {
    Impl* im = impl_.get();
    im->minimized = false;
    if (im->main)
        im->main->Restore();
    if (Window* modal = win32::InnermostModal())
        modal->BringToFront();
}

void Application::Show() { impl_->hidden = false; }
void Application::Hide() { impl_->hidden = true; }
bool Application::IsMinimized() const { return impl_->minimized; }

Window* Application::MainWindow() const { return impl_->main; }

std::string Application::ExePath() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2); // cut off: a longer buffer
    }
}

std::vector<std::string> Application::Arguments() const { return impl_->arguments; }

int Application::ScreenWidth() const { return ::GetSystemMetrics(SM_CXSCREEN); }
int Application::ScreenHeight() const { return ::GetSystemMetrics(SM_CYSCREEN); }

Rect Application::WorkAreaNear(const Rect& r) const {
    // In 64 bits: a rectangle from a settings file may reach past the ints' range.
    auto clamp = [](long long v) { return static_cast<LONG>(std::clamp<long long>(v, INT_MIN, INT_MAX)); };
    const long long left = r.left, top = r.top;
    const RECT rect{clamp(left), clamp(top), clamp(left + std::max(r.width, 1)), clamp(top + std::max(r.height, 1))};
    HMONITOR monitor = ::MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!monitor || !::GetMonitorInfoW(monitor, &info))
        return {0, 0, ScreenWidth(), ScreenHeight()};
    const RECT& a = info.rcWork;
    return {a.left, a.top, a.right - a.left, a.bottom - a.top};
}

void Application::StartTimer(int id, int milliseconds, std::function<void()> onElapsed) {
    Impl* im = impl_.get();
    im->timers[id] = std::move(onElapsed);
    // SetTimer with an id in use restarts it.
    ::SetTimer(im->window, static_cast<UINT_PTR>(id), static_cast<UINT>(std::max(0, milliseconds)), nullptr);
}

void Application::StopTimer(int id) {
    Impl* im = impl_.get();
    if (im->timers.erase(id))
        ::KillTimer(im->window, static_cast<UINT_PTR>(id));
}

namespace native {

bool PersonCanAnswer() { return true; }

} // namespace native

namespace win32 {

HWND ApplicationWindow() { return App() ? App()->window : nullptr; }

void RunInLoop(std::function<void()> task) {
    HWND window = ApplicationWindow();
    if (!window)
        return;
    Tasks().push_back(std::move(task));
    if (!::PostMessageW(window, kRunTaskMessage, 0, 0))
        Tasks().pop_back();
}

HINSTANCE Instance() { return ::GetModuleHandleW(nullptr); }

bool PumpOneMessage(bool wait, bool runTasks) {
    MSG message{};
    if (wait) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            ::PostQuitMessage(static_cast<int>(message.wParam)); // for the loops outside this one
            return false;
        }
        if (got < 0)
            return false;
    } else {
        const bool got = runTasks ? ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)
                                  : ::PeekMessageW(&message, nullptr, 0, kRunTaskMessage - 1, PM_REMOVE) ||
                                        ::PeekMessageW(&message, nullptr, kRunTaskMessage + 1, 0xFFFF, PM_REMOVE);
        if (!got)
            return false;
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return false;
        }
    }
    if (!RouteMessage(message)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    DisposePending();
    return true;
}

void WindowCreated(Window* window) {
    Application::Impl* im = App();
    if (!im)
        return;
    im->windows.push_back(window);
    if (!im->main && window->Style() == WindowStyle::Main)
        im->main = window;
}

void WindowDestroyed(Window* window) {
    Application::Impl* im = App();
    if (!im)
        return;
    im->windows.erase(std::remove(im->windows.begin(), im->windows.end(), window), im->windows.end());
    if (im->main == window) {
        im->main = nullptr;
        im->mainClosed = true;
    }
}

void WindowClosed(Window* window) {
    Application::Impl* im = App();
    if (im && im->main == window)
        im->mainClosed = true;
}

bool ProgramOnTaskbar() { return !App() || !App()->hidden; }

Window* ProgramMainWindow() { return App() ? App()->main : nullptr; }

void MinimizeFromSystem(Window& window) {
    Application::Impl* im = App();
    if (im && im->main == &window)
        im->Minimize();
    else
        window.Minimize();
}

void RestoredFromSystem(Window& window) {
    Application::Impl* im = App();
    if (!im || im->main != &window)
        return;
    im->minimized = false;
    if (Window* modal = InnermostModal())
        modal->BringToFront();
}

} // namespace win32
} // namespace toolkit
