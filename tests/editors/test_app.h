// What the editor tests share besides tests/support: the node images and a
// recording canvas.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/hook_scope.h"
#include "support/test_app.h"
#include "toolkit/application.h"
#include "toolkit/controls.h"
#include "toolkit/image_list.h"
#include "toolkit/resources.h"

namespace tallykey::test {

// The program's 51 node icons, as the main window loads them.
inline const toolkit::ImageList& NodeImages() {
    static const std::unique_ptr<toolkit::ImageList> images = [] {
        TestApp();
        auto list = std::make_unique<toolkit::ImageList>(16, 16);
        list->LoadBitmap(toolkit::FindResource("FORM1_IMAGELIST2"), toolkit::Color{0, 0, 0});
        return list;
    }();
    return *images;
}

// Records every drawing call, in order.
class RecordingCanvas : public toolkit::Canvas {
public:
    struct Call {
        std::string what; // "fill", "focus", "image", "text"
        toolkit::Rect rect;
        int index = -1;
        int x = 0;
        int y = 0;
        std::string text;
    };
    void FillRect(const toolkit::Rect& rect) override { calls.push_back({"fill", rect, -1, 0, 0, {}}); }
    void DrawFocusRect(const toolkit::Rect& rect) override { calls.push_back({"focus", rect, -1, 0, 0, {}}); }
    void DrawImage(const toolkit::ImageList&, int index, int x, int y) override {
        calls.push_back({"image", {}, index, x, y, {}});
    }
    void DrawText(const std::string& text, const toolkit::Rect& rect) override {
        calls.push_back({"text", rect, -1, 0, 0, text});
    }
    std::vector<std::string> Kinds() const {
        std::vector<std::string> kinds;
        for (const Call& c : calls)
            kinds.push_back(c.what);
        return kinds;
    }
    std::vector<Call> calls;
};

} // namespace tallykey::test
