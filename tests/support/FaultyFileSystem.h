#pragma once

#include "platform/posix/PosixFileSystem.h"

#include <QList>

#include <cerrno>
#include <mutex>

namespace vellicord {

// The real file system with failures on demand: a chosen write, flush, rename, copy or folder
// creation fails as the disk would make it fail (ENOSPC, EIO, EROFS), half-way where that is
// possible. It also keeps a record of the steps that reach the disk, in order, so that a test can
// see that a file is flushed before it replaces another. Tests run it over real files in a
// temporary folder. The path of a write's failure is the file replaced: for a link, its target.
class FaultyFileSystem : public PosixFileSystem {
public:
    enum class Operation {
        write,           // the temporary file of an atomic write to the path: half its bytes, then an error
        syncFile,        // flushing that temporary file, or a copy made at the path, to the disk
        rename,          // the rename of a finished temporary file over the path
        syncFolder,      // flushing the folder after the rename over the path (the rename stays done)
        copy,            // a copy to the path
        createDirectory, // creating the folder at the path (or one above it)
    };

    // One step that reached the disk: writes, copies, renames and flushes, after they succeeded.
    struct Step {
        Operation operation;
        QString path;
        friend bool operator==(const Step&, const Step&) = default;
    };

    // The folders reported as the data and logs folders; the real ones unless set.
    QString dataDirectory;
    QString stateDirectory;

    // From now on, every `operation` on `path` fails with `code`; an empty path means any path.
    void fail(Operation operation, const QString& path = {}, int code = EIO);
    void clearFailures() { failures_.clear(); }
    // The steps so far (atomic writes of two files may run on two threads at once).
    QList<Step> steps() const;
    void clearSteps();

    QString applicationSupportDirectory() const override;
    QString logsDirectory() const override;
    void createDirectories(const QString& path) override;
    void copyFile(const QString& from, const QString& to) override;

protected:
    void writeTemporary(int fd, QByteArrayView bytes, const QString& target) override;
    void syncFile(int fd, const QString& target) override;
    void replace(const QString& temporary, const QString& target) override;
    void syncFolder(const QString& folder, const QString& target) override;

private:
    struct Failure {
        Operation operation;
        QString path;
        int code;
    };

    // The error code for the operation on the path, or 0 when it should succeed.
    int failureFor(Operation operation, const QString& path) const;
    void record(Operation operation, const QString& path);

    QList<Failure> failures_;
    mutable std::mutex stepsMutex_;
    QList<Step> steps_;
};

} // namespace vellicord
