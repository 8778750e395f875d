#pragma once

#include "platform/FileSystem.h"

namespace vellicord {

// The real file system. Atomic writes go to a temporary file in the target's folder, which is
// flushed to the disk, renamed over the target, and followed by a flush of the folder, so the
// new name survives a power loss; a failure removes the temporary file again. A link is followed
// to the file it leads to, which is the one replaced.
class PosixFileSystem : public FileSystem {
public:
    // $XDG_DATA_HOME when set to an absolute path, else ~/.local/share.
    QString applicationSupportDirectory() const override;
    // $XDG_STATE_HOME when set to an absolute path, else ~/.local/state.
    QString logsDirectory() const override;

    bool exists(const QString& path) const override;
    void createDirectories(const QString& path) override;
    void copyFile(const QString& from, const QString& to) override;
    QByteArray readFile(const QString& path) const override;
    std::unique_ptr<const FileContents> readContents(const QString& path) const override;
    bool hasContents(const QString& path, QByteArrayView bytes) const override;
    std::unique_ptr<PendingWrite> prepareAtomicWrite(const QString& path, QByteArrayView bytes,
                                                     NewFileAccess access = NewFileAccess::owner) override;
    int removeTemporaryFiles(const QString& path) override;
    std::unique_ptr<AppendFile> openForAppending(const QString& path) override;

    // Temporary files of atomic writes are named after the target with this part in between:
    // ".Vellicord.json.tmp-XXXXXX".
    static constexpr const char* temporaryMarker = ".tmp-";

protected:
    friend class PosixPendingWrite;

    // The steps of an atomic write that can fail on their own, so that tests can make one of
    // them fail or see their order: writing and flushing the temporary file, renaming it over the
    // target, flushing the target's folder. `target` is the file replaced (a link's target). All
    // throw FileSystemError.
    virtual void writeTemporary(int fd, QByteArrayView bytes, const QString& target);
    // Flushes a written file (the temporary file of an atomic write to the target, or a copy
    // made at the target) to the disk.
    virtual void syncFile(int fd, const QString& target);
    virtual void replace(const QString& temporary, const QString& target);
    // Flushes a folder's entries (the rename over the target in it) to the disk.
    virtual void syncFolder(const QString& folder, const QString& target);
};

} // namespace vellicord
