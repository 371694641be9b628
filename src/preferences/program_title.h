// The program's name as its windows, messages and notification-area tip show it.
#pragma once

namespace tallykey {

inline constexpr const char* kAppTitle = "Tallykey 0.4";

} // namespace tallykey
