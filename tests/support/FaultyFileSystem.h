#pragma once

#include "platform/posix/PosixFileSystem.h"

#include <QList>

#include <cerrno>

namespace vellicord {

// The real file system with failures on demand: a chosen write, flush, rename, copy or folder
// creation fails as the disk would make it fail (ENOSPC, EIO, EROFS), half-way where that is
// possible. Tests run it over real files in a temporary folder. The path of a write's failure is
// the file replaced: for a link, its target.
class FaultyFileSystem : public PosixFileSystem {
public:
    enum class Operation {
        write, // the temporary file of an atomic write to the path: half its bytes, then an error
        sync, // flushing that temporary file to the disk
        rename, // the rename of a finished temporary file over the path
        syncFolder, // flushing the folder after the rename over the path (the rename stays done)
        copy, // a copy to the path
        createDirectory, // creating the folder at the path (or one above it)
    };

    // The folders reported as the data and logs folders; the real ones unless set.
    QString dataDirectory;
    QString stateDirectory;

    // From now on, every `operation` on `path` fails with `code`; an empty path means any path.
    void fail(Operation operation, const QString& path = {}, int code = EIO);
    void clearFailures() { failures_.clear(); }

    QString applicationSupportDirectory() const override;
    QString logsDirectory() const override;
    void createDirectories(const QString& path) override;
    void copyFile(const QString& from, const QString& to) override;

protected:
    void writeTemporary(int fd, QByteArrayView bytes, const QString& target) override;
    void syncTemporary(int fd, const QString& target) override;
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

    QList<Failure> failures_;
};

} // namespace vellicord
