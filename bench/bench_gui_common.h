// What the window benchmarks share: the offscreen application object and a
// main window without settings, shown as the program shows it.
#pragma once

#include <cstdlib>
#include <memory>
#include <string>

#include <sys/stat.h>

#include "database/model.h"
#include "mainwindow/main_form.h"
#include "support/main_form_parts.h"
#include "toolkit/application.h"
#include "toolkit/testing/fake_services.h"

namespace tallykey::bench {

inline toolkit::Application& BenchApp() {
    static toolkit::Application* app = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        if (!std::getenv("XDG_RUNTIME_DIR")) {
            ::mkdir("/tmp/xdg-mw", 0700);
            ::setenv("XDG_RUNTIME_DIR", "/tmp/xdg-mw", 0);
        }
        return new toolkit::Application({}, kAppTitle);
    }();
    return *app;
}

// `groups` groups of `items` items each, with titles and fields of a usual length.
inline TDatabase MakeLargeDatabase(int groups, int items) {
    TDatabase db;
    for (int g = 0; g < groups; ++g) {
        AppendGroup(db, "Group " + std::to_string(g), g % 51);
        for (int i = 0; i < items; ++i)
            AppendItem(db, g, "Item " + std::to_string(g) + "." + std::to_string(i),
                       "user" + std::to_string(i) + "@example.com", "p4ssw0rd-" + std::to_string(i),
                       "https://www.example.com/login", "A comment\r\non two lines", (g + i) % 51);
        db.Groups[g].Expanded = (g % 2) == 0;
    }
    return db;
}

// A shown main window with fake services; the first-show step is skipped, so
// nothing opens by itself.
struct ShownMainForm {
    ShownMainForm() {
        BenchApp();
        form = std::make_unique<MainForm>();
        Parts(*form).FirstShow = false;
        form->Show();
        BenchApp().ProcessMessages();
    }
    ~ShownMainForm() {
        form->OnCloseQuery = nullptr;
        form.reset();
    }
    toolkit::FakePlatform platform;
    std::unique_ptr<MainForm> form;
};

} // namespace tallykey::bench
