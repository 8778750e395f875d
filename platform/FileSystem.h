#pragma once

#include "platform/NativePath.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <utility>

namespace vellicord {

// Why a file operation failed: the operating system's error number and the path it concerned.
class FileSystemError : public std::runtime_error {
public:
    FileSystemError(const QString& action, const QString& path, int code)
        : std::runtime_error(describe(action, path, code))
        , path_(path)
        , code_(code)
    {
    }

    // The code of an error about what is at the path being neither a file nor a folder (a pipe, a
    // socket, a device), which no error number of the system's names.
    static constexpr int notAFile = -1;

    const QString& path() const { return path_; }
    int code() const { return code_; }

private:
    static std::string describe(const QString& action, const QString& path, int code)
    {
        // The path's own bytes, also where they are not UTF-8.
        return (action + QStringLiteral(" ")).toStdString() + NativePath::encode(path).toStdString() + ": "
            + (code == notAFile ? "Not a regular file" : std::strerror(code));
    }

    QString path_;
    int code_;
};

// A file opened for appending: every write lands at the end of the file, also when another
// process appends to the same file.
class AppendFile {
public:
    virtual ~AppendFile() = default;
    // Throws FileSystemError when the bytes could not all be written.
    virtual void append(QByteArrayView bytes) = 0;
};

// The whole content of a file, read-only, followed by at least `padding` readable bytes, so that a
// parser that reads ahead in blocks may run over it in place. Another program may change the file
// while it is read: check() tells, and only bytes read before a check() that passes are the file's.
class FileContents {
public:
    static constexpr qsizetype padding = 64;

    virtual ~FileContents() = default;
    virtual QByteArrayView bytes() const = 0;
    // The bytes from `from` to `to` are done with for now: a mapped file lets go of the pages
    // that lie wholly inside them, which are read from the file again if they are read again.
    virtual void release(qsizetype from, qsizetype to) const
    {
        Q_UNUSED(from);
        Q_UNUSED(to);
    }
    // Throws FileSystemError when the file has changed since it was opened (another program wrote
    // it in place or cut it short): the bytes read from it may then be part of another version, or
    // zeros where it was cut short. Never a bus error.
    virtual void check() const {}
};

// Contents held in memory.
class BufferContents : public FileContents {
public:
    explicit BufferContents(QByteArray bytes)
        : bytes_(std::move(bytes))
    {
        bytes_.reserve(bytes_.size() + padding);
    }
    QByteArrayView bytes() const override { return bytes_; }

private:
    QByteArray bytes_;
};

// The first half of an atomic write: the new content is on the disk under a temporary name in
// the target's folder. commit() puts it in place of the target; destroying an uncommitted write
// removes the temporary file and leaves the target as it was.
class PendingWrite {
public:
    virtual ~PendingWrite() = default;
    // Throws FileSystemError; the temporary file is gone afterwards either way.
    virtual void commit() = 0;
};

// Who may read a file that an atomic write creates. A file that is replaced keeps its own
// permissions either way.
enum class NewFileAccess {
    owner, // rw------- : the library and its backup are private to their user
    everyone, // rw-r--r-- less the user's umask: a document the user saved, such as an exported prompt
};

// The files the library and the logs are kept in. Paths are absolute local paths. Every
// operation that can fail throws FileSystemError. Operations on different files may run on
// several threads at once.
//
// This header is an interface only (QtCore, no implementation), so the core can be handed a
// file system without linking the platform layer.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // The folder applications keep their data in ($XDG_DATA_HOME).
    virtual QString applicationSupportDirectory() const = 0;
    // The folder applications keep their logs in ($XDG_STATE_HOME).
    virtual QString logsDirectory() const = 0;

    // True when anything is at the path: a file, a folder, or a link, also one whose target is
    // missing (a library on a disk that is not mounted is not a library that was never made).
    virtual bool exists(const QString& path) const = 0;
    // Creates the folder and every missing folder above it; an existing folder is no error.
    virtual void createDirectories(const QString& path) = 0;
    // Copies a file to a path where nothing exists yet; the source stays.
    virtual void copyFile(const QString& from, const QString& to) = 0;
    // The whole content of a file.
    virtual QByteArray readFile(const QString& path) const = 0;
    // The same for a file read once and let go of soon, such as a large library at start: it may
    // be the file's pages mapped in place rather than a copy of them. Throws as readFile.
    virtual std::unique_ptr<const FileContents> readContents(const QString& path) const
    {
        return std::make_unique<BufferContents>(readFile(path));
    }
    // Whether the file holds exactly these bytes. Throws as readFile.
    virtual bool hasContents(const QString& path, QByteArrayView bytes) const { return readFile(path) == bytes; }
    // Replaces the file with the bytes so that a failed or interrupted write leaves the previous
    // file whole and a finished one survives a power loss. A link at the path stays a link: the
    // file it leads to is replaced, in its own folder; a link whose target is missing is an error.
    void writeAtomically(const QString& path, QByteArrayView bytes, NewFileAccess access = NewFileAccess::owner)
    {
        prepareAtomicWrite(path, bytes, access)->commit();
    }
    // The same in two steps, so that other work can happen between writing and replacing.
    virtual std::unique_ptr<PendingWrite> prepareAtomicWrite(const QString& path, QByteArrayView bytes,
                                                             NewFileAccess access = NewFileAccess::owner)
        = 0;
    // Removes the temporary files that atomic writes to the path left behind when they were
    // interrupted (a killed process, a power loss); returns how many. Only for a caller that knows
    // no write to the path is under way. Never throws: what cannot be removed stays.
    virtual int removeTemporaryFiles(const QString& path) = 0;
    // Opens the file for appending, creating an empty one when there is none.
    virtual std::unique_ptr<AppendFile> openForAppending(const QString& path) = 0;
};

} // namespace vellicord
