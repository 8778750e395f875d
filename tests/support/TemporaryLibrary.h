#pragma once

#include "core/library/Store.h"
#include "support/FaultyFileSystem.h"
#include "support/ManualScheduler.h"
#include "support/ManualSerialQueue.h"
#include "support/MemoryDefaults.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <memory>

namespace vellicord {

// A library in a temporary folder, over fakes: files that can be made to fail, defaults in memory,
// and a save queue and a time line that move only when the test says so. The data and state
// folders of the files are the temporary folder.
class TemporaryLibrary {
public:
    TemporaryLibrary();

    // The Store's services over the fakes.
    Store::Services services();
    // A Store over the library file (made if missing, like the real one).
    std::unique_ptr<Store> open();
    // Runs the debounced save, its write and the status reports it sends to the main thread.
    void settle(std::chrono::milliseconds by = std::chrono::milliseconds(500));

    // Whole-file helpers, for what a test puts on disk or reads back.
    static QByteArray readAll(const QString& path);
    static void writeAll(const QString& path, const QByteArray& bytes);

    QTemporaryDir folder;
    FaultyFileSystem files;
    MemoryDefaults defaults;
    ManualSerialQueue queue;
    ManualScheduler time;
    QString libraryPath; // Vellicord/Vellicord.json in the folder
    QString backupPath;
    int writes = 0; // saves handed to the queue and run by settle()
};

} // namespace vellicord
