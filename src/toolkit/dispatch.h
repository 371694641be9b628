// Counts the program's handlers running now. A backend deletes a native
// control only once none of them is on the stack: deleting it from under its
// own notification would crash.
#pragma once

namespace toolkit {

class Dispatch {
public:
    Dispatch();
    ~Dispatch();
    Dispatch(const Dispatch&) = delete;
    Dispatch& operator=(const Dispatch&) = delete;
    static int Depth();
};

} // namespace toolkit
