// What tests read off the Win32 controls: where a tree shows a node, how far
// a control scrolls sideways, and the notice of the text gate.
#include "toolkit/testing/test_input.h"
#include "toolkit/tree_view.h"
#include "toolkit/win32/backend.h"

#include <cstring>

namespace toolkit {
namespace input {

Rect NodeRect(TreeView& tree, TreeNode node) {
    HWND hwnd = tree.impl() ? tree.impl()->hwnd : nullptr;
    HTREEITEM item = win32::TreeItem(tree, node);
    if (!hwnd || !item)
        return {};
    // The message takes the item in the rectangle's first bytes, and gives
    // the label's rectangle: the picture stands just left of it.
    RECT r{};
    std::memcpy(&r, &item, sizeof item);
    if (!::SendMessageW(hwnd, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r)))
        return {};
    int pictureWidth = 0, pictureHeight = 0;
    if (auto images = reinterpret_cast<HIMAGELIST>(::SendMessageW(hwnd, TVM_GETIMAGELIST, TVSIL_NORMAL, 0)))
        ::ImageList_GetIconSize(images, &pictureWidth, &pictureHeight);
    r.left -= pictureWidth;
    // Grab(tree) holds the whole window, its border included.
    RECT window{};
    ::GetWindowRect(hwnd, &window);
    POINT client{0, 0};
    ::ClientToScreen(hwnd, &client);
    const int dx = client.x - window.left, dy = client.y - window.top;
    return Rect{r.left + dx, r.top + dy, r.right - r.left, r.bottom - r.top};
}

int SidewaysScroll(Control& control) {
    HWND hwnd = control.impl() ? control.impl()->hwnd : nullptr;
    if (!hwnd || !(::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_HSCROLL))
        return 0;
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE;
    if (!::GetScrollInfo(hwnd, SB_HORZ, &info))
        return 0;
    const int range = info.nMax - info.nMin + 1 - static_cast<int>(info.nPage);
    return range > 0 ? range : 0;
}

std::string ShownNotice() {
    const std::wstring notice = win32::ShownNotice();
    if (notice.empty())
        return {};
    const int size =
        ::WideCharToMultiByte(CP_UTF8, 0, notice.data(), static_cast<int>(notice.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, notice.data(), static_cast<int>(notice.size()), utf8.data(), size, nullptr,
                          nullptr);
    return utf8;
}

} // namespace input
} // namespace toolkit
