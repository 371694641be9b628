// Opening a database of 20,000 items as the user does: read, decrypt, rebuild
// the tree, show the first item's details. Target: under 150 ms.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <unistd.h>

#include "bench_gui_common.h"
#include "database/database_file.h"
#include "editors/password_form.h"
#include "toolkit/modal_hook.h"

namespace tallykey::bench {
namespace {

std::string WriteLargeFile(const std::string& password) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("tk-bench-open-" + std::to_string(::getpid()) +
                               (password.empty() ? "-plain" : "-keyed") + ".tkf"))
                                 .string();
    const WriteResult written = WriteDatabase(MakeLargeDatabase(100, 200), password, path);
    if (!written.ok)
        throw std::runtime_error(written.message);
    return path;
}

void OpenAndShowFirst(benchmark::State& state, const std::string& password) {
    ShownMainForm shown;
    MainForm& form = *shown.form;
    const std::string path = WriteLargeFile(password);
    // The prompt is answered at once, so that the time is the program's own.
    toolkit::ModalHook hook;
    hook.onModal = [&](toolkit::Window& window) {
        auto& prompt = dynamic_cast<PasswordForm&>(window);
        prompt.PasswordBox->SetText(password);
        prompt.OKButton->Click();
    };
    toolkit::SetModalHook(&hook);
    for (auto _ : state) {
        if (!form.OpenDatabase(path))
            state.SkipWithError("the file did not open");
        Parts(form).GroupTree->Select(Parts(form).Db.Items[0][0].Node);
        BenchApp().ProcessMessages();
        benchmark::DoNotOptimize(Parts(form).LoginBox->Text());
    }
    toolkit::SetModalHook(nullptr);
    std::filesystem::remove(path);
}

void BM_OpenEmptyPassword(benchmark::State& state) { OpenAndShowFirst(state, ""); }
BENCHMARK(BM_OpenEmptyPassword)->Unit(benchmark::kMillisecond);

// With a master password the empty one is tried first, then the prompt's.
void BM_OpenWithPassword(benchmark::State& state) { OpenAndShowFirst(state, "correct horse"); }
BENCHMARK(BM_OpenWithPassword)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tallykey::bench

BENCHMARK_MAIN();
