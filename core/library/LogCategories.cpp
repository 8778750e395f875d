#include "core/library/LogCategories.h"

namespace vellicord::LogCategories {

// Each category is made on first use, once, safely from any thread.
Q_LOGGING_CATEGORY(app, "com.ruvo.vellicord.app", QtInfoMsg)
Q_LOGGING_CATEGORY(capture, "com.ruvo.vellicord.capture")
Q_LOGGING_CATEGORY(store, "com.ruvo.vellicord.store")
Q_LOGGING_CATEGORY(hotkey, "com.ruvo.vellicord.hotkey")

} // namespace vellicord::LogCategories
