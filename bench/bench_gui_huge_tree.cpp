// The tree view at the largest size a database may have: one branch of
// 1,000,000 nodes (and 1,000,000 branches at the top level) built, opened,
// closed and scrolled from end to end, each step with the paint that follows.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench_gui_common.h"
#include "toolkit/tree_view.h"

namespace tallykey::bench {
namespace {

constexpr int kNodes = 1000000;

// A shown window whose tree holds `groups` top-level nodes, the first with `items` children.
struct HugeTree {
    HugeTree(int groups, int items) : window(toolkit::WindowStyle::Main) {
        window.SetClientSize(400, 600);
        tree = std::make_unique<toolkit::TreeView>(window);
        tree->SetAlign(toolkit::Align::Client);
        window.Show();
        Fill(groups, items);
    }
    void Fill(int groups, int items) {
        tree->Clear();
        first = tree->AddNode(toolkit::NoTreeNode, "Group 0", 1);
        for (int i = 0; i < items; ++i)
            last = tree->AddNode(first, "Item " + std::to_string(i), 2);
        for (int g = 1; g < groups; ++g)
            last = tree->AddNode(toolkit::NoTreeNode, "Group " + std::to_string(g), 1);
        tree->SetExpanded(first, true);
        BenchApp().ProcessMessages();
    }
    toolkit::Window window;
    std::unique_ptr<toolkit::TreeView> tree;
    toolkit::TreeNode first = toolkit::NoTreeNode, last = toolkit::NoTreeNode;
};

void BM_HugeTreeBuild(benchmark::State& state) {
    BenchApp();
    HugeTree huge(1, 0);
    const int groups = static_cast<int>(state.range(0)), items = static_cast<int>(state.range(1));
    for (auto _ : state)
        huge.Fill(groups, items);
    state.counters["nodes"] = huge.tree->NodeCount();
}
BENCHMARK(BM_HugeTreeBuild)->Args({1, kNodes})->Args({kNodes, 0})->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_HugeBranchCloseAndOpen(benchmark::State& state) {
    BenchApp();
    HugeTree huge(1, kNodes);
    for (auto _ : state) {
        huge.tree->SetExpanded(huge.first, false);
        BenchApp().ProcessMessages();
        huge.tree->SetExpanded(huge.first, true);
        BenchApp().ProcessMessages();
    }
}
BENCHMARK(BM_HugeBranchCloseAndOpen)->Unit(benchmark::kMillisecond)->Iterations(5);

// Selecting the last node scrolls to the end, the first back to the top.
void BM_HugeTreeScrollEndToEnd(benchmark::State& state) {
    BenchApp();
    HugeTree huge(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        huge.tree->Select(huge.last);
        BenchApp().ProcessMessages();
        huge.tree->Select(huge.first);
        BenchApp().ProcessMessages();
    }
}
BENCHMARK(BM_HugeTreeScrollEndToEnd)
    ->Args({1, kNodes})
    ->Args({kNodes, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

} // namespace
} // namespace tallykey::bench

BENCHMARK_MAIN();
