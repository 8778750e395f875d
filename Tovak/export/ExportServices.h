#pragma once

#include <QString>

#include <functional>
#include <memory>

namespace vellicord {

class Defaults;
class FileSystem;
class Scheduler;
class SerialQueue;

// What the export gets from the program: the files, the main thread's timers, and a way to make
// each throwaway library's own save queue and defaults suite. Everything referred to outlives
// the export.
struct ExportServices {
    FileSystem& fileSystem;
    Scheduler& scheduler;
    // A new save queue ("com.vellicord.store.save"); destroying it stops it.
    std::function<std::unique_ptr<SerialQueue>()> makeSaveQueue;
    // The defaults suite named suiteName, kept inside the folder.
    std::function<std::unique_ptr<Defaults>(const QString& suiteName, const QString& folder)> makeDefaults;
    // Whether the user asked the export to stop (a signal); it stops before its next image.
    std::function<bool()> interrupted = [] { return false; };
};

} // namespace vellicord
