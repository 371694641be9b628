#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <QWindowStateChangeEvent>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <thread>

#include "toolkit/application.h"
#include "toolkit/native.h"
#include "toolkit/qt/backend.h"
#include "toolkit/qt/platform_services.h"

namespace toolkit {

struct Application::Impl {
    Application* self = nullptr;
    // QApplication keeps the command line it was given: it lives as long.
    std::vector<std::string> commandLine;
    std::vector<char*> argv;
    int argc = 0;
    std::unique_ptr<QApplication> app;
    std::string caption;
    std::vector<std::string> arguments;
    std::vector<Window*> windows;
    Window* main = nullptr;
    QEventLoop* runLoop = nullptr;
    bool mainClosed = false;
    bool inMinimize = false;
    bool minimized = false;
    bool hidden = false;
    std::map<int, std::unique_ptr<QTimer>> timers;

    // The minimise command, from the program or from the window manager.
    void Minimize(bool alreadyMinimized);
};

namespace {

Application* g_instance = nullptr;

// The program's font is Tahoma; Debian's fonts-wine has a metric-compatible
// one that fontconfig does not search. Its bold face (tahomabd.ttf) stays
// out: at the program's 11 pixels Qt draws it no heavier than the regular
// face, while bold made from the regular face shows.
void RegisterFonts() {
    const QString file = QStringLiteral("/usr/share/wine/fonts/tahoma.ttf");
    const bool tahoma = QFile::exists(file) && QFontDatabase::addApplicationFont(file) >= 0;
    if (!tahoma && !QFontDatabase::families().contains(QStringLiteral("Tahoma")))
        QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                                   {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"),
                                    QStringLiteral("Sans Serif")});
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    QApplication::setFont(font);
}

} // namespace

void Application::Impl::Minimize(bool alreadyMinimized) {
    if (inMinimize) {
        // Minimising from inside the handler only minimises.
        if (!alreadyMinimized && main && main->IsShown())
            main->Minimize();
        return;
    }
    // The window manager minimises a dialog's owner with it: whichever the
    // program hears of first minimises the program, once.
    if (alreadyMinimized && minimized)
        return;
    inMinimize = true;
    if (self->OnMinimize) {
        Dispatch d;
        self->OnMinimize();
    }
    inMinimize = false;
    minimized = true;
    if (!alreadyMinimized && main && main->IsShown() && !main->IsMinimized())
        main->Minimize();
}

Application::Application(const std::vector<std::string>& arguments, const std::string& caption)
    : impl_(std::make_unique<Impl>()) {
    Impl* im = impl_.get();
    im->self = this;
    im->caption = caption;
    const std::string exe = ExePath();
    im->commandLine.push_back(exe.empty() ? std::string("tallyk") : exe);
    im->commandLine.insert(im->commandLine.end(), arguments.begin(), arguments.end());
    for (std::string& word : im->commandLine)
        im->argv.push_back(word.data());
    im->argc = static_cast<int>(im->argv.size());
    im->argv.push_back(nullptr);
    im->app = std::make_unique<QApplication>(im->argc, im->argv.data());
    QApplication::setQuitOnLastWindowClosed(false);
    // Qt took its own options out of argv.
    im->arguments = ProgramArguments(std::vector<std::string>(im->argv.begin() + 1, im->argv.begin() + im->argc));
    g_instance = this;
    RegisterFonts();
    qt::InstallKeyRouter();
    InstallPlatformServices();
}

Application::~Application() {
    qt::RemoveKeyRouter();
    impl_->timers.clear(); // before the loop they belong to
    impl_->app.reset();
    if (g_instance == this)
        g_instance = nullptr;
}

Application& Application::Instance() { return *g_instance; }
bool Application::Exists() { return g_instance != nullptr; }

void Application::SetCaption(const std::string& caption) { impl_->caption = caption; }
std::string Application::Caption() const { return impl_->caption; }

void Application::SetIcon(const ResourceData& icon) {
    // Only the windows show icons on this desktop; the application object has none to show.
    (void)icon;
}

void Application::SetDesktopEntry(const std::string& name) {
    QGuiApplication::setDesktopFileName(QString::fromStdString(name));
}

int Application::Run(Window& mainWindow) {
    impl_->main = &mainWindow;
    impl_->mainClosed = false;
    mainWindow.Show();
    if (impl_->mainClosed || impl_->main != &mainWindow)
        return 0;
    QEventLoop loop;
    impl_->runLoop = &loop;
    loop.exec();
    impl_->runLoop = nullptr;
    return 0;
}

void Application::ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void Application::Sleep(int milliseconds) {
    if (milliseconds > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void Application::SendMinimizeCommand() { impl_->Minimize(false); }

void Application::Restore() {
    impl_->minimized = false;
    if (impl_->main)
        impl_->main->Restore();
    qt::RestoreDialogs();
    qt::BringModalToFront();
}

void Application::Show() { impl_->hidden = false; }
void Application::Hide() { impl_->hidden = true; }
bool Application::IsMinimized() const { return impl_->minimized; }

Window* Application::MainWindow() const { return impl_->main; }

std::string Application::ExePath() {
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

std::vector<std::string> Application::Arguments() const { return impl_->arguments; }

int Application::ScreenWidth() const {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().width() : 0;
}

int Application::ScreenHeight() const {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().height() : 0;
}

Rect Application::WorkAreaNear(const Rect& r) const {
    // In 64 bits: a rectangle from a settings file may reach past the ints' range.
    const long long left = r.left, top = r.top;
    const long long right = left + std::max(r.width, 1), bottom = top + std::max(r.height, 1);
    QScreen* best = nullptr;
    long long bestOverlap = -1;
    long long bestDistance = 0;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect area = screen->availableGeometry();
        const long long aLeft = area.x(), aTop = area.y();
        const long long aRight = aLeft + area.width(), aBottom = aTop + area.height();
        const long long overlap = std::max(0LL, std::min(right, aRight) - std::max(left, aLeft)) *
                                  std::max(0LL, std::min(bottom, aBottom) - std::max(top, aTop));
        const long double dx = static_cast<long double>(std::max({0LL, aLeft - right, left - aRight}));
        const long double dy = static_cast<long double>(std::max({0LL, aTop - bottom, top - aBottom}));
        const long long distance = static_cast<long long>(std::min(dx * dx + dy * dy, 1e18L));
        if (overlap > bestOverlap || (overlap == 0 && bestOverlap == 0 && distance < bestDistance)) {
            best = screen;
            bestOverlap = overlap;
            bestDistance = distance;
        }
    }
    if (!best)
        best = QGuiApplication::primaryScreen();
    if (!best)
        return {};
    const QRect area = best->availableGeometry();
    return {area.x(), area.y(), area.width(), area.height()};
}

void Application::StartTimer(int id, int milliseconds, std::function<void()> onElapsed) {
    auto timer = std::make_unique<QTimer>();
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer); // never early: a coarse one may fire 5% before its time
    QObject::connect(timer.get(), &QTimer::timeout, [this, id, onElapsed = std::move(onElapsed)] {
        // The handler may start this id again: take the timer out first.
        auto ended = std::move(impl_->timers[id]);
        impl_->timers.erase(id);
        onElapsed();
        ended.release()->deleteLater();
    });
    timer->start(std::max(0, milliseconds));
    impl_->timers[id] = std::move(timer);
}

void Application::StopTimer(int id) { impl_->timers.erase(id); }

namespace qt {

void WindowCreated(Window* window) {
    if (!g_instance)
        return;
    Application::Impl* im = g_instance->impl();
    im->windows.push_back(window);
    if (!im->main && window->Style() == WindowStyle::Main)
        im->main = window;
}

void WindowDestroyed(Window* window) {
    if (!g_instance)
        return;
    Application::Impl* im = g_instance->impl();
    im->windows.erase(std::remove(im->windows.begin(), im->windows.end(), window), im->windows.end());
    if (im->main == window) {
        im->main = nullptr;
        im->mainClosed = true;
        if (im->runLoop)
            im->runLoop->exit(0);
    }
}

void WindowClosed(Window* window) {
    if (!g_instance)
        return;
    Application::Impl* im = g_instance->impl();
    if (im->main == window) {
        im->mainClosed = true;
        if (im->runLoop)
            im->runLoop->exit(0);
    }
}

void WindowMinimizedByUser(Window* window) {
    if (g_instance && g_instance->impl()->main == window)
        g_instance->impl()->Minimize(true);
    else if (window->Style() == WindowStyle::Dialog)
        DialogMinimizedByUser();
}

void WindowRestoredByUser(Window* window) {
    if (!g_instance)
        return;
    if (g_instance->impl()->main == window) {
        g_instance->impl()->minimized = false;
        // The window manager restores a dialog with the window it belongs
        // to; one restored apart from it comes back too.
        RestoreDialogs();
        BringModalToFront();
    } else if (window->Style() == WindowStyle::Dialog) {
        DialogRestoredByUser();
    }
}

void BelongToOwner(QWidget* dialog, const Window* owner) {
    if (!dialog || !dialog->isWindow())
        return;
    if (!dialog->parentWidget()) {
        if (!owner && g_instance)
            owner = g_instance->impl()->main;
        QWidget* frame = owner && owner->impl() ? owner->impl()->widget.data() : nullptr;
        // An owner not on the desktop (the main window before it first
        // shows, or hidden in the tray) cannot hold a dialog.
        if (frame && frame != dialog && frame->isVisible() && frame->windowHandle()) {
            dialog->createWinId(); // the native window, to carry the hint from its first mapping
            if (QWindow* window = dialog->windowHandle())
                window->setTransientParent(frame->windowHandle());
        }
    }
    // The toolkit's own windows report their minimise through their frame.
    if (WindowOfFrame(dialog) || dialog->property("tallykeyFollows").toBool())
        return;
    dialog->setProperty("tallykeyFollows", true);
    auto* follow = new FilterObject([dialog](QObject* watched, QEvent* event) {
        if (watched != dialog || event->type() != QEvent::WindowStateChange || !event->spontaneous())
            return false;
        const bool was = (static_cast<QWindowStateChangeEvent*>(event)->oldState() & Qt::WindowMinimized) != 0;
        if (dialog->isMinimized() && !was)
            DialogMinimizedByUser();
        else if (!dialog->isMinimized() && was)
            DialogRestoredByUser();
        return false;
    });
    follow->setParent(dialog);
    dialog->installEventFilter(follow);
}

void DialogMinimizedByUser() {
    Application::Impl* im = g_instance ? g_instance->impl() : nullptr;
    // Under most window managers the main window went with it, and the
    // program has heard so already.
    if (im && !im->minimized && !im->inMinimize)
        im->Minimize(false);
}

void DialogRestoredByUser() {
    if (g_instance && g_instance->impl()->minimized)
        g_instance->Restore();
}

} // namespace qt
} // namespace toolkit
