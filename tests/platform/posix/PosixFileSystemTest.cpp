#include "platform/posix/PosixFileSystem.h"
#include "support/FaultyFileSystem.h"

#include "core/library/LibrarySamples.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vellicord {
namespace {

using LibrarySamples::folderContents;
using LibrarySamples::readFile;
using LibrarySamples::writeFile;
using Op = FaultyFileSystem::Operation;

int errorOf(const std::function<void()>& operation)
{
    try {
        operation();
    } catch (const FileSystemError& error) {
        return error.code();
    }
    return 0;
}

mode_t modeOf(const QString& path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

class PosixFileSystemTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(root.isValid()); }
    QString path(const char* name) const { return root.path() + QLatin1Char('/') + QLatin1String(name); }

    QTemporaryDir root;
    FaultyFileSystem files;
};

TEST_F(PosixFileSystemTest, atomicWriteReplacesAndKeepsPermissions)
{
    files.writeAtomically(path("library.json"), "first");
    EXPECT_EQ(readFile(path("library.json")), QByteArray("first"));
    EXPECT_EQ(modeOf(path("library.json")), mode_t(0600)) << "a new library is private to its user";
    ::chmod(QFile::encodeName(path("library.json")).constData(), 0640);
    files.writeAtomically(path("library.json"), "second");
    EXPECT_EQ(readFile(path("library.json")), QByteArray("second"));
    EXPECT_EQ(modeOf(path("library.json")), mode_t(0640));
    EXPECT_EQ(folderContents(root.path()).size(), 1u) << "no temporary file stays";
}

TEST_F(PosixFileSystemTest, newFilesAreCreatedWithTheirAccessLessTheUmask)
{
    writeFile(path("kept.md"), "old");
    ::chmod(QFile::encodeName(path("kept.md")).constData(), 0640);
    struct Case {
        const char* name;
        const char* file;
        NewFileAccess access;
        mode_t umask;
        mode_t expected;
    };
    const Case cases[] = {
        {"library", "library.json", NewFileAccess::owner, 022, 0600},
        {"library under a lax umask", "lax.json", NewFileAccess::owner, 0, 0600},
        {"document", "prompt.md", NewFileAccess::everyone, 022, 0644},
        {"document under a private umask", "private.md", NewFileAccess::everyone, 077, 0600},
        {"document under a group umask", "group.md", NewFileAccess::everyone, 027, 0640},
        {"document replacing one keeps its mode", "kept.md", NewFileAccess::everyone, 022, 0640},
    };
    const mode_t before = ::umask(022);
    for (const Case& c : cases) {
        ::umask(c.umask);
        files.writeAtomically(path(c.file), "new", c.access);
        EXPECT_EQ(modeOf(path(c.file)), c.expected) << c.name;
        EXPECT_EQ(readFile(path(c.file)), QByteArray("new")) << c.name;
    }
    ::umask(before);
    EXPECT_EQ(folderContents(root.path()).size(), 6u) << "no temporary file stays";
}

TEST_F(PosixFileSystemTest, failedStepsLeaveThePreviousFileAndNoTemporary)
{
    struct Case {
        const char* name;
        Op operation;
        int code;
    };
    const Case cases[] = {
        {"write half-way", Op::write, ENOSPC},
        {"rename", Op::rename, EIO},
    };
    for (const Case& c : cases) {
        files.clearFailures();
        files.writeAtomically(path("library.json"), "previous content");
        files.fail(c.operation, path("library.json"), c.code);
        EXPECT_EQ(errorOf([&] { files.writeAtomically(path("library.json"), QByteArray(100000, 'x')); }), c.code)
            << c.name;
        EXPECT_EQ(folderContents(root.path()),
                  (std::map<std::string, std::string>{{"library.json", "previous content"}}))
            << c.name;
    }
}

TEST_F(PosixFileSystemTest, filesReachTheDiskBeforeTheyReplaceOthers)
{
    // A rename may reach the disk before the data it names: without the flushes in this order a
    // power loss could leave an empty library in place of the old one.
    writeFile(path("old.json"), "old");
    writeFile(path("source"), "source");
    using Step = FaultyFileSystem::Step;
    struct Case {
        const char* name;
        std::function<void()> operation;
        QList<Step> steps;
    };
    const Case cases[] = {
        {"new file",
         [&] { files.writeAtomically(path("new.json"), "new"); },
         {{Op::write, path("new.json")},
          {Op::syncFile, path("new.json")},
          {Op::rename, path("new.json")},
          {Op::syncFolder, root.path()}}},
        {"replacing a file",
         [&] { files.writeAtomically(path("old.json"), "newer"); },
         {{Op::write, path("old.json")},
          {Op::syncFile, path("old.json")},
          {Op::rename, path("old.json")},
          {Op::syncFolder, root.path()}}},
        {"prepared, then committed",
         [&] {
             auto pending = files.prepareAtomicWrite(path("later.json"), "later");
             EXPECT_EQ(files.steps().size(), 2) << "written and flushed, not yet in place";
             pending->commit();
         },
         {{Op::write, path("later.json")},
          {Op::syncFile, path("later.json")},
          {Op::rename, path("later.json")},
          {Op::syncFolder, root.path()}}},
        {"copy",
         [&] { files.copyFile(path("source"), path("copy")); },
         {{Op::syncFile, path("copy")}, {Op::copy, path("copy")}}},
    };
    for (const Case& c : cases) {
        files.clearSteps();
        c.operation();
        EXPECT_EQ(files.steps(), c.steps) << c.name;
    }
}

TEST_F(PosixFileSystemTest, realFailures)
{
    writeFile(path("file"), "x");
    QDir().mkpath(path("folder"));
    ASSERT_EQ(::symlink("unmounted/library.json", QFile::encodeName(path("dangling")).constData()), 0);
    struct Case {
        const char* name;
        std::function<void()> operation;
        int code;
    };
    const Case cases[] = {
        {"read a missing file", [&] { files.readFile(path("missing")); }, ENOENT},
        {"read a folder", [&] { files.readFile(path("folder")); }, EISDIR},
        {"copy onto an existing file", [&] { files.copyFile(path("file"), path("file")); }, EEXIST},
        {"copy a folder", [&] { files.copyFile(path("folder"), path("copy")); }, EISDIR},
        {"folder below a file", [&] { files.createDirectories(path("file/sub/deeper")); }, ENOTDIR},
        {"folder where a file is", [&] { files.createDirectories(path("file")); }, EEXIST},
        {"write over a folder", [&] { files.writeAtomically(path("folder"), "x"); }, EISDIR},
        {"write into a missing folder", [&] { files.writeAtomically(path("none/library.json"), "x"); }, ENOENT},
        {"existing folder is fine", [&] { files.createDirectories(path("folder")); }, 0},
        {"write through a link whose target is missing", [&] { files.writeAtomically(path("dangling"), "x"); }, ENOENT},
        {"copy onto a link whose target is missing", [&] { files.copyFile(path("file"), path("dangling")); }, EEXIST},
        {"read through a link whose target is missing", [&] { files.readFile(path("dangling")); }, ENOENT},
    };
    for (const Case& c : cases)
        EXPECT_EQ(errorOf(c.operation), c.code) << c.name;
    EXPECT_TRUE(files.exists(path("dangling"))) << "a link whose target is missing is still something";
    EXPECT_EQ(files.removeTemporaryFiles(path("dangling")), 0);
    EXPECT_EQ(folderContents(root.path()),
              (std::map<std::string, std::string>{
                  {"dangling", "<link to unmounted/library.json>"}, {"file", "x"}, {"folder", "<folder>"}}))
        << "nothing made, nothing left behind";
}

TEST_F(PosixFileSystemTest, copyReadAndFolders)
{
    files.createDirectories(path("a/b/c"));
    EXPECT_TRUE(files.exists(path("a/b/c")));
    writeFile(path("a/source"), QByteArray("content\0with zero", 17));
    files.copyFile(path("a/source"), path("a/b/copy"));
    EXPECT_EQ(files.readFile(path("a/b/copy")), QByteArray("content\0with zero", 17));
    EXPECT_EQ(files.readFile(path("a/source")), QByteArray("content\0with zero", 17));
    EXPECT_FALSE(files.exists(path("a/missing")));
}

// Contents read whole or mapped give the file's bytes with readable padding behind them, whatever
// the size (a large file's last byte ending a page included), also after their pages were let go
// of, and tell equal files from others.
TEST_F(PosixFileSystemTest, contentsAndComparison)
{
    const qsizetype page = qsizetype(::sysconf(_SC_PAGESIZE));
    for (const qsizetype size :
         {qsizetype(0), qsizetype(5), qsizetype(4 << 20), qsizetype(4 << 20) - 10, qsizetype(4 << 20) + page - 1}) {
        QByteArray bytes(size, '\0');
        for (qsizetype i = 0; i < size; ++i)
            bytes[i] = char('a' + i % 26);
        writeFile(path("file"), bytes);
        const auto contents = files.readContents(path("file"));
        ASSERT_EQ(contents->bytes(), QByteArrayView(bytes)) << size;
        // Read, as a parser reading ahead would (a fault or the address checker stops here if not).
        const char* end = contents->bytes().data() + size;
        int sum = 0;
        for (qsizetype i = 0; i < FileContents::padding; ++i)
            sum += end[i];
        if (size >= 1 << 20) {
            EXPECT_EQ(sum, 0) << "a mapped file is followed by zeros, " << size;
        }
        // Let go of, the pages read the same again.
        contents->release(1, size - 1);
        EXPECT_EQ(contents->bytes(), QByteArrayView(bytes)) << size;
        EXPECT_NO_THROW(contents->check()) << size;
        EXPECT_TRUE(files.hasContents(path("file"), bytes)) << size;
        EXPECT_FALSE(files.hasContents(path("file"), bytes + "x")) << size;
        if (size > 0) {
            QByteArray other = bytes;
            other[size - 1] = '!';
            EXPECT_FALSE(files.hasContents(path("file"), other)) << size;
            EXPECT_FALSE(files.hasContents(path("file"), bytes.chopped(1))) << size;
        }
    }
    EXPECT_THROW(files.readContents(path("missing")), FileSystemError);
    EXPECT_THROW(files.hasContents(path("missing"), "x"), FileSystemError);
    EXPECT_THROW(files.hasContents(root.path(), "x"), FileSystemError);
}

// Another program changes a file whose contents are being read: cut short, the pages it no longer
// has read as zeros (a bus error would end the process), and either way the contents count as
// changed.
TEST_F(PosixFileSystemTest, contentsOfAFileChangedWhileReadCountAsChanged)
{
    const qsizetype page = qsizetype(::sysconf(_SC_PAGESIZE));
    const qsizetype size = 4 << 20;
    const struct {
        const char* name;
        qsizetype cutTo; // or -1: bytes written over in place
    } cases[] = {{"cut short", size / 2 + 100}, {"emptied", 0}, {"written over in place", -1}};
    for (const auto& c : cases) {
        writeFile(path("file"), QByteArray(size, 'a'));
        const auto contents = files.readContents(path("file"));
        const QByteArray native = QFile::encodeName(path("file"));
        if (c.cutTo >= 0) {
            ASSERT_EQ(::truncate(native.constData(), c.cutTo), 0) << c.name;
        } else {
            const int fd = ::open(native.constData(), O_WRONLY);
            ASSERT_EQ(::pwrite(fd, "bb", 2, size / 2), 2) << c.name;
            // Changed a second later, whatever the clock's steps.
            struct stat info {};
            ::fstat(fd, &info);
            const timespec later[2] = {info.st_atim, {info.st_mtim.tv_sec + 1, info.st_mtim.tv_nsec}};
            ::futimens(fd, later);
            ::close(fd);
        }
        const QByteArrayView bytes = contents->bytes();
        ASSERT_EQ(bytes.size(), size) << c.name;
        if (c.cutTo >= 0) {
            const qsizetype kept = c.cutTo / page * page;
            EXPECT_EQ(bytes.first(kept), QByteArray(kept, 'a')) << c.name;
            EXPECT_EQ(bytes.sliced(size - page), QByteArray(page, '\0')) << c.name;
        }
        try {
            contents->check();
            ADD_FAILURE() << c.name << ": no error";
        } catch (const FileSystemError& error) {
            EXPECT_EQ(error.code(), ESTALE) << c.name;
        }
    }
}

TEST_F(PosixFileSystemTest, appendingCreatesAndAppends)
{
    files.openForAppending(path("log"))->append("one\n");
    auto first = files.openForAppending(path("log"));
    auto second = files.openForAppending(path("log"));
    first->append("two\n");
    second->append("three\n");
    first->append("four\n");
    EXPECT_EQ(readFile(path("log")), QByteArray("one\ntwo\nthree\nfour\n"));
}

TEST_F(PosixFileSystemTest, standardFolders)
{
    struct Case {
        const char* name;
        const char* data;
        const char* state;
        QString expectedData;
        QString expectedState;
    };
    const QString home = QDir::homePath();
    const Case cases[] = {
        {"set", "/x/data", "/x/state", "/x/data", "/x/state"},
        {"unset", nullptr, nullptr, home + "/.local/share", home + "/.local/state"},
        {"relative is ignored", "data", "state", home + "/.local/share", home + "/.local/state"},
    };
    const QByteArray savedData = qgetenv("XDG_DATA_HOME");
    const QByteArray savedState = qgetenv("XDG_STATE_HOME");
    PosixFileSystem real;
    for (const Case& c : cases) {
        c.data ? qputenv("XDG_DATA_HOME", c.data) : qunsetenv("XDG_DATA_HOME");
        c.state ? qputenv("XDG_STATE_HOME", c.state) : qunsetenv("XDG_STATE_HOME");
        EXPECT_EQ(real.applicationSupportDirectory(), c.expectedData) << c.name;
        EXPECT_EQ(real.logsDirectory(), c.expectedState) << c.name;
    }
    qputenv("XDG_DATA_HOME", savedData);
    qputenv("XDG_STATE_HOME", savedState);
}

} // namespace
} // namespace vellicord
