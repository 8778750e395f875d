#pragma once

#include "core/library/StoreLoadResult.h"
#include "core/library/StorePersistenceStatus.h"
#include "core/library/StoreSnapshot.h"
#include "platform/FileSystem.h"

#include <QByteArray>
#include <QString>

#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vellicord {

// The library file and its byte-identical backup: the document's bytes, loading with recovery
// at start, and writing both files. Made once by the store; loaded once, on the main thread,
// before any save; written afterwards only on the store's save queue.
class StorePersistence {
public:
    class PersistenceError : public std::runtime_error {
    public:
        enum class Case {
            backupWriteFailed, // the library was written, its backup was not
            duplicateIdentity, // two records of one kind share an id
            incompatibleVersion, // the document's version is neither 1 nor 2
            primaryNotPreserved, // writes are off since loading
        };

        explicit PersistenceError(Case errorCase, std::exception_ptr underlying = {});
        Case errorCase() const { return case_; }
        // The error that made the backup write fail.
        std::exception_ptr underlying() const { return underlying_; }

    private:
        Case case_;
        std::exception_ptr underlying_;
    };

    StorePersistence(QString storeURL, QString backupURL, FileSystem& fileManager);

    // Where the library is kept unless the store is given another place:
    // Vellicord/Vellicord.json in the data folder ($XDG_DATA_HOME, else ~/.local/share).
    static QString defaultStoreURL(const FileSystem& files);

    // The backup beside a library file: the library's name without its extension, with the
    // extension "backup.json" (Vellicord.json has Vellicord.backup.json).
    static QString backupURL(const QString& storeURL);

    const QString& storeURL() const { return storeURL_; }
    const QString& backupURL() const { return backupURL_; }
    bool writesAllowed() const { return writesAllowed_; }

    // Reads the library at start, recovering it from the backup where it must; never throws.
    // Afterwards writes are off exactly when the status is unreadablePrimary or incompatibleVersion.
    // Removes the temporary files interrupted saves left, so it may only run where no other
    // process writes the library (the single instance).
    StoreLoadResult load();

    // Encodes the snapshot, checks that it decodes, then replaces the library and the backup
    // atomically. Throws PersistenceError, JsonDecodeError or FileSystemError; a failure before
    // the library write leaves both files as they were.
    void write(StoreSnapshot snapshot);

    // The status to publish after a failed write.
    static StorePersistenceStatus failureStatus(const std::exception& error);

    // The document: pretty-printed, keys in ascending order, dates in whole UTC seconds.
    static QByteArray encode(const StoreSnapshot& snapshot);
    // Version screen, full decode and the uniqueness of ids. Throws PersistenceError or
    // JsonDecodeError. Bytes that keep at least 64 spare bytes of capacity are parsed in place.
    static StoreSnapshot decode(const QByteArray& bytes);
    static StoreSnapshot decode(const std::string& bytes);
    static StoreSnapshot decode(std::string_view bytes);

    // The error's textual description, as the log shows it.
    static QString describe(const std::exception& error);

private:
    struct ParsedDocument;
    struct FileRead {
        std::shared_ptr<const FileContents> contents;
        std::exception_ptr error; // set when the file could not be read
        // The JSON of the bytes, parsed once for the version screen and kept for the decode.
        std::shared_ptr<ParsedDocument> parsed;

        QByteArrayView bytes() const;
    };

    void removeLeftoverTemporaryFiles();
    FileRead read(const QString& path) const;
    static bool hasIncompatibleVersion(FileRead& file);
    // Also throws the file's error when another program changed it during the load.
    static StoreSnapshot decode(const FileRead& file);
    // Replaces the file at the path with the bytes of the one read, unless that one changed.
    void writeCopy(const QString& path, const FileRead& file);
    // sameBytes: the backup holds the library's bytes.
    StoreLoadResult loadPrimary(const FileRead& primary, const FileRead& backup, bool sameBytes);
    static bool changedSinceRead(const FileRead& file);
    StoreLoadResult rewriteChangedPrimary(StoreSnapshot snapshot);
    StoreLoadResult recoverMissingPrimary(const FileRead& backup);
    StoreLoadResult recoverFromBackup(const FileRead& backup);
    bool preserveUnreadablePrimary();
    QString nextUnreadableURL() const;

    void logEvent(const QString& message) const;
    void logFailure(const QString& message, const std::exception& error) const;

    QString storeURL_;
    QString backupURL_;
    FileSystem& fileManager_;
    bool writesAllowed_ = true;
};

} // namespace vellicord
