#pragma once

#include "Tovak/export/ExportServices.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

namespace vellicord {

class Clock;
class Defaults;
class SerialQueue;
class Store;

// A throwaway library for one export: a private temporary folder (mkdtemp) holding the library
// file "Library.json" and a defaults suite of its own, and a Store over them. It never reads or
// changes the user's library, defaults or task templates. Its library never collects into the
// active prompt and offers only the built-in task templates.
//
// cleanUp() drains it (a last save, the Store destroyed, its save queue stopped) and only then
// removes the folder; the destructor does the same, so that every way out of an export does.
class SnapshotFixture {
public:
    // contents: the library file as the Store finds it; none leaves it absent (an empty library).
    // Throws the file-system error when the folder or the file cannot be made, having removed
    // what it made.
    SnapshotFixture(const ExportServices& services, Clock& clock, const std::optional<QByteArray>& contents);
    ~SnapshotFixture();
    SnapshotFixture(const SnapshotFixture&) = delete;
    SnapshotFixture& operator=(const SnapshotFixture&) = delete;

    const QString& suiteName() const { return suiteName_; }
    const QString& directory() const { return directory_; }
    Defaults& defaults() const { return *defaults_; }
    Store& store() const { return *store_; }

    // Never fails; once done, the fixture's folder is gone.
    void cleanUp();

    static constexpr char libraryFileName[] = "Library.json";

private:
    void removeFolder();

    QString suiteName_;
    QString directory_;
    std::unique_ptr<Defaults> defaults_;
    std::unique_ptr<SerialQueue> saveQueue_;
    std::unique_ptr<Store> store_;
};

} // namespace vellicord
