// Keys sent to a given widget by the program itself rather than by the
// window system.
#pragma once

class QWidget;

namespace toolkit {
namespace qt {

// While it lives, key events count as the program's where they reach `target`.
class TargetScope {
public:
    explicit TargetScope(QWidget* target);
    ~TargetScope();
    TargetScope(const TargetScope&) = delete;
    TargetScope& operator=(const TargetScope&) = delete;

private:
    QWidget* previous_;
};

} // namespace qt
} // namespace toolkit
