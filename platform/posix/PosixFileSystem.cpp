#include "platform/posix/PosixFileSystem.h"

#include "core/foundation/Parallel.h"
#include "platform/NativePath.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vellicord {

namespace {

// The letters or digits that make a temporary file's name unique.
constexpr qsizetype uniquePartLength = 6;

QByteArray native(const QString& path)
{
    return NativePath::encode(path);
}

[[noreturn]] void fail(const char* action, const QString& path, int code = errno)
{
    throw FileSystemError(QString::fromLatin1(action), path, code);
}

// Refuses what is at the path for not being a regular file: a folder as such, anything else (a
// pipe, a socket, a device) as not a file.
[[noreturn]] void failNotRegular(const char* action, const QString& path, mode_t mode)
{
    fail(action, path, S_ISDIR(mode) ? EISDIR : FileSystemError::notAFile);
}

QString xdgDirectory(const char* variable, const char* fallback)
{
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::homePath() + QLatin1Char('/') + QLatin1String(fallback);
}

void writeAll(int fd, QByteArrayView bytes, const QString& path)
{
    const char* p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(std::min<qsizetype>(left, 1 << 30)));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail("Could not write", path);
        }
        p += n;
        left -= n;
    }
}

// The file an atomic write to the path replaces: the path itself, or the file the links there
// lead to. Replacing a link would cut the user's library off from where they keep it. A link whose
// target is missing is refused: a new file there would stand in for one on a disk not mounted.
QString replacedFile(const QString& path)
{
    struct stat info;
    if (::lstat(native(path).constData(), &info) != 0 || !S_ISLNK(info.st_mode))
        return path;
    char* resolved = ::realpath(native(path).constData(), nullptr);
    if (!resolved)
        fail("Could not follow the link", path);
    const QString target = NativePath::decode(resolved);
    std::free(resolved);
    return target;
}

// ".Vellicord.json.tmp-" followed by six letters or digits.
bool isTemporaryName(QByteArrayView name, QByteArrayView prefix)
{
    if (name.size() != prefix.size() + uniquePartLength || !name.startsWith(prefix))
        return false;
    for (const char c : name.last(uniquePartLength)) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

// A new file named the prefix and six letters or digits, created with the mode (less the umask,
// which the kernel applies as it creates the file: reading the umask here would mean changing it
// for every thread a moment). Returns its descriptor and its name.
std::pair<int, QByteArray> createTemporary(const QByteArray& prefix, mode_t mode, const QString& target)
{
    static constexpr char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray name = prefix;
        for (qsizetype i = 0; i < uniquePartLength; ++i)
            name.append(alphabet[QRandomGenerator::global()->bounded(int(sizeof alphabet - 1))]);
        const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0)
            return {fd, name};
        if (errno != EEXIST)
            fail("Could not create a temporary file for", target);
    }
    fail("Could not create a temporary file for", target, EEXIST);
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd)
        : fd_(fd)
    {
    }
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    // Closes now, reporting the error a deferred write may only show here.
    void close(const QString& path)
    {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0 && errno != EINTR)
            fail("Could not write", path);
    }

private:
    int fd_;
};

class PosixAppendFile : public AppendFile {
public:
    PosixAppendFile(int fd, QString path)
        : fd_(fd)
        , path_(std::move(path))
    {
    }
    void append(QByteArrayView bytes) override { writeAll(fd_.get(), bytes, path_); }

private:
    FileDescriptor fd_;
    QString path_;
};

} // namespace

QString PosixFileSystem::applicationSupportDirectory() const
{
    return xdgDirectory("XDG_DATA_HOME", ".local/share");
}

QString PosixFileSystem::logsDirectory() const
{
    return xdgDirectory("XDG_STATE_HOME", ".local/state");
}

bool PosixFileSystem::exists(const QString& path) const
{
    struct stat info;
    return ::lstat(native(path).constData(), &info) == 0;
}

void PosixFileSystem::createDirectories(const QString& path)
{
    const QString clean = QDir::cleanPath(path);
    struct stat info;
    if (::stat(native(clean).constData(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return;
        fail("Could not create the folder", clean, EEXIST);
    }
    const QString parent = QFileInfo(clean).path();
    if (parent != clean && !exists(parent))
        createDirectories(parent);
    // A file in the way above gives ENOTDIR here; a folder made meanwhile by someone else is fine.
    if (::mkdir(native(clean).constData(), 0777) != 0
        && !(errno == EEXIST && ::stat(native(clean).constData(), &info) == 0 && S_ISDIR(info.st_mode)))
        fail("Could not create the folder", clean);
}

void PosixFileSystem::copyFile(const QString& from, const QString& to)
{
    const QByteArray bytes = readFile(from);
    FileDescriptor fd(::open(native(to).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (fd.get() < 0)
        fail("Could not create", to);
    try {
        writeAll(fd.get(), bytes, to);
        syncFile(fd.get(), to);
        fd.close(to);
    } catch (...) {
        ::unlink(native(to).constData());
        throw;
    }
}

namespace {

// A file opened to be read, with what fstat says of it; anything else is refused. Opening never
// waits: a pipe would until something writes into it, a terminal or a device may for ever.
struct OpenedFile {
    explicit OpenedFile(const QString& path)
        : fd(::open(native(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC))
    {
    }
    FileDescriptor fd;
    struct stat info {};
};

std::unique_ptr<OpenedFile> openToRead(const QString& path)
{
    auto file = std::make_unique<OpenedFile>(path);
    if (file->fd.get() < 0)
        fail("Could not open", path);
    if (::fstat(file->fd.get(), &file->info) != 0)
        fail("Could not read", path);
    if (!S_ISREG(file->info.st_mode))
        failNotRegular("Could not read", path, file->info.st_mode);
    return file;
}

// Reading a file that another program changed meanwhile fails with this error: the bytes read
// may be part old and part new.
constexpr int changedWhileRead = ESTALE;

// Whether the file is still the one read: same size, not written or changed since. A program
// that rewrites a file in place, or cuts it short, changes its modification time.
bool unchanged(const OpenedFile& file)
{
    struct stat now;
    if (::fstat(file.fd.get(), &now) != 0)
        return false;
    const struct stat& then = file.info;
    return now.st_size == then.st_size && now.st_mtim.tv_sec == then.st_mtim.tv_sec
        && now.st_mtim.tv_nsec == then.st_mtim.tv_nsec && now.st_ctim.tv_sec == then.st_ctim.tv_sec
        && now.st_ctim.tv_nsec == then.st_ctim.tv_nsec;
}

// The rest of an open file, with spare room behind it so that a JSON parser can read the buffer
// in place without copying it.
QByteArray readAll(const OpenedFile& file, const QString& path)
{
    QByteArray bytes;
    bytes.reserve(qsizetype(file.info.st_size) + FileContents::padding);
    // One byte more than the size, so the read that finds the end needs no larger buffer.
    bytes.resize(qsizetype(file.info.st_size) + 1);
    qsizetype size = 0;
    for (;;) {
        if (bytes.size() == size)
            bytes.resize(size * 2 + 65536);
        const ssize_t n = ::read(file.fd.get(), bytes.data() + size, size_t(bytes.size() - size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail("Could not read", path);
        }
        if (n == 0)
            break;
        size += n;
    }
    bytes.resize(size);
    return bytes;
}

// The mapped files being read, where a read that finds a page of a file cut short lands instead of
// stopping the process. Slots are taken and given back without a lock, as the handler reads them.
struct MappedRegion {
    std::atomic<uintptr_t> begin{0};
    std::atomic<uintptr_t> end{0};
    std::atomic<bool> cutShort{false};
};
constexpr size_t regionCount = 16;
MappedRegion mappedRegions[regionCount];
struct sigaction busErrorBefore;
uintptr_t pageSizeForHandler = 4096;

// A read of a mapped page the file no longer has (another program cut it short) raises SIGBUS. Such
// a page and the rest of the file's mapping become zeros, which the reader reads on to its end, and
// the contents count as changed. mmap is not among the functions POSIX calls safe in a signal
// handler, but on Linux it is the system call alone, which is.
void onBusError(int signal, siginfo_t* info, void* context)
{
    // Only the kernel's report of such a read names an address; a SIGBUS another process sent
    // (kill -BUS) carries its sender where the address would be, and is never ours to take.
    const auto address = info->si_code == BUS_ADRERR ? reinterpret_cast<uintptr_t>(info->si_addr) : 0;
    for (MappedRegion& region : mappedRegions) {
        const uintptr_t begin = region.begin.load(std::memory_order_acquire);
        const uintptr_t end = region.end.load(std::memory_order_acquire);
        if (begin == 0 || address < begin || address >= end)
            continue;
        const uintptr_t page = address & ~(pageSizeForHandler - 1);
        if (::mmap(reinterpret_cast<void*>(page), end - page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1,
                   0)
            != MAP_FAILED) {
            region.cutShort.store(true, std::memory_order_release);
            return;
        }
    }
    // Not a file of ours: what would have happened without this handler.
    if ((busErrorBefore.sa_flags & SA_SIGINFO) && busErrorBefore.sa_sigaction) {
        busErrorBefore.sa_sigaction(signal, info, context);
    } else if (busErrorBefore.sa_handler != SIG_DFL && busErrorBefore.sa_handler != SIG_IGN) {
        busErrorBefore.sa_handler(signal);
    } else if (busErrorBefore.sa_handler == SIG_DFL || info->si_code > 0) {
        // Ended by the signal, the first time: raised again, it arrives as the handler returns (a
        // faulting read would fault again, but a signal sent once never comes back by itself). A
        // fault ends the process even where the signal was ignored.
        struct sigaction byDefault {};
        byDefault.sa_handler = SIG_DFL;
        sigemptyset(&byDefault.sa_mask);
        ::sigaction(signal, &byDefault, nullptr);
        ::raise(signal);
    }
}

// A file's pages mapped read-only, with zero pages of our own behind them for the padding. The file
// is mapped, not read into memory of our own: for a large library that costs page faults and a
// copy of every page (40 to 100 ms more of a start with 100,000 captures). Another program cutting
// the file short during the load is caught instead (onBusError) and makes the contents count as
// changed, as does any other change of the file since it was opened.
class MappedContents : public FileContents {
public:
    MappedContents(std::unique_ptr<OpenedFile> file, QString path)
        : file_(std::move(file))
        , path_(std::move(path))
        , size_(size_t(file_->info.st_size))
    {
        static std::once_flag handlerInstalled;
        std::call_once(handlerInstalled, [] {
            pageSizeForHandler = uintptr_t(::sysconf(_SC_PAGESIZE));
            struct sigaction action {};
            action.sa_sigaction = onBusError;
            action.sa_flags = SA_SIGINFO | SA_ONSTACK;
            sigemptyset(&action.sa_mask);
            ::sigaction(SIGBUS, &action, &busErrorBefore);
        });
        const size_t page = size_t(::sysconf(_SC_PAGESIZE));
        length_ = (size_ + size_t(padding) + page - 1) / page * page;
        void* base = ::mmap(nullptr, length_, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (base == MAP_FAILED)
            fail("Could not read", path_);
        base_ = static_cast<char*>(base);
        if (::mmap(base_, size_, PROT_READ, MAP_PRIVATE | MAP_FIXED, file_->fd.get(), 0) == MAP_FAILED) {
            const int code = errno;
            ::munmap(base_, length_);
            fail("Could not read", path_, code);
        }
        // The file's own pages, up to the first of the padding; a slot taken once the pages are there.
        for (MappedRegion& candidate : mappedRegions) {
            uintptr_t free = 0;
            if (candidate.begin.compare_exchange_strong(free, reinterpret_cast<uintptr_t>(base_))) {
                region_ = &candidate;
                region_->cutShort.store(false);
                region_->end.store(reinterpret_cast<uintptr_t>(base_) + (size_ + page - 1) / page * page,
                                   std::memory_order_release);
                break;
            }
        }
        if (!region_) {
            // More large files at once than this process ever reads: read this one instead.
            ::munmap(base_, length_);
            fail("Could not read", path_, EMFILE);
        }
    }

    ~MappedContents() override
    {
        region_->end.store(0);
        region_->begin.store(0, std::memory_order_release);
        ::munmap(base_, length_);
    }

    QByteArrayView bytes() const override { return QByteArrayView(base_, qsizetype(size_)); }

    void release(qsizetype from, qsizetype to) const override
    {
        const size_t page = size_t(::sysconf(_SC_PAGESIZE));
        const size_t first = (size_t(std::max<qsizetype>(from, 0)) + page - 1) / page * page;
        const size_t end = std::min(size_t(std::max<qsizetype>(to, 0)), size_) / page * page;
        if (end > first)
            ::madvise(base_ + first, end - first, MADV_DONTNEED);
    }

    void check() const override
    {
        if (region_->cutShort.load(std::memory_order_acquire) || !unchanged(*file_))
            fail("Could not read", path_, changedWhileRead);
    }

private:
    std::unique_ptr<OpenedFile> file_; // kept open to tell whether it changed
    QString path_;
    size_t size_;
    size_t length_ = 0;
    char* base_ = nullptr;
    MappedRegion* region_ = nullptr;
};

// A small file's bytes, read whole.
class ReadContents : public BufferContents {
public:
    ReadContents(std::unique_ptr<OpenedFile> file, const QString& path)
        : BufferContents(readAll(*file, path))
        , file_(std::move(file))
        , path_(path)
    {
    }
    void check() const override
    {
        if (!unchanged(*file_))
            fail("Could not read", path_, changedWhileRead);
    }

private:
    std::unique_ptr<OpenedFile> file_;
    QString path_;
};

} // namespace

std::unique_ptr<const FileContents> PosixFileSystem::readContents(const QString& path) const
{
    // Below this a copy costs next to nothing; above it, reading a copy costs a page fault and a
    // copy per page of a file that is most likely in the page cache already, where a mapping costs
    // neither. The pages are not populated here: the threads that first read them fault them in
    // side by side.
    constexpr off_t mappedFrom = 1 << 20;
    std::unique_ptr<OpenedFile> file = openToRead(path);
    if (file->info.st_size < mappedFrom)
        return std::make_unique<ReadContents>(std::move(file), path);
    return std::make_unique<MappedContents>(std::move(file), path);
}

bool PosixFileSystem::hasContents(const QString& path, QByteArrayView bytes) const
{
    const std::unique_ptr<OpenedFile> file = openToRead(path);
    if (file->info.st_size != bytes.size())
        return false;
    // Piece by piece, a part of the file per thread: comparing two large files holds neither of
    // them whole, and takes no longer than reading one.
    constexpr size_t piece = size_t(1) << 20;
    const size_t size = size_t(bytes.size());
    const size_t parts = Parallel::threadsFor(size, 8 * piece);
    std::vector<int> differs(parts, 0), errors(parts, 0);
    Parallel::forChunks(parts, parts, [&](size_t part, size_t, size_t) {
        std::vector<char> buffer(piece);
        size_t at = size * part / parts;
        const size_t end = size * (part + 1) / parts;
        while (at < end) {
            const ssize_t n = ::pread(file->fd.get(), buffer.data(), std::min(piece, end - at), off_t(at));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                // The file shrank while it was read, or could not be read.
                errors[part] = n < 0 ? errno : 0;
                differs[part] = 1;
                return;
            }
            if (std::memcmp(buffer.data(), bytes.data() + at, size_t(n)) != 0) {
                differs[part] = 1;
                return;
            }
            at += size_t(n);
        }
    });
    for (const int error : errors) {
        if (error != 0)
            fail("Could not read", path, error);
    }
    return std::none_of(differs.cbegin(), differs.cend(), [](int d) { return d != 0; });
}

QByteArray PosixFileSystem::readFile(const QString& path) const
{
    return readAll(*openToRead(path), path);
}

void PosixFileSystem::writeTemporary(int fd, QByteArrayView bytes, const QString& target)
{
    writeAll(fd, bytes, target);
}

void PosixFileSystem::syncFile(int fd, const QString& target)
{
    if (::fsync(fd) != 0)
        fail("Could not write", target);
}

void PosixFileSystem::replace(const QString& temporary, const QString& target)
{
    if (::rename(native(temporary).constData(), native(target).constData()) != 0)
        fail("Could not replace", target);
}

// Flushes the folder's entries (the rename in it) to the disk.
void PosixFileSystem::syncFolder(const QString& folder, const QString&)
{
    const int fd = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        fail("Could not open the folder", folder);
    const int result = ::fsync(fd);
    const int code = errno;
    ::close(fd);
    if (result != 0 && code != EINVAL)
        fail("Could not flush the folder", folder, code);
}

class PosixPendingWrite : public PendingWrite {
public:
    PosixPendingWrite(PosixFileSystem& files, QByteArray temporary, QString target)
        : files_(files)
        , temporary_(std::move(temporary))
        , target_(std::move(target))
    {
    }
    ~PosixPendingWrite() override
    {
        if (!temporary_.isEmpty())
            ::unlink(temporary_.constData());
    }

    void commit() override
    {
        const QByteArray temporary = std::exchange(temporary_, QByteArray());
        try {
            files_.replace(NativePath::decode(temporary), target_);
        } catch (...) {
            ::unlink(temporary.constData());
            throw;
        }
        files_.syncFolder(QFileInfo(target_).absolutePath(), target_);
    }

private:
    PosixFileSystem& files_;
    QByteArray temporary_; // empty once committed
    QString target_;
};

std::unique_ptr<PendingWrite> PosixFileSystem::prepareAtomicWrite(const QString& path, QByteArrayView bytes,
                                                                  NewFileAccess access)
{
    const QString target = replacedFile(path);
    const QFileInfo info(target);
    const QByteArray prefix
        = native(info.absolutePath() + QStringLiteral("/.") + info.fileName() + QLatin1String(temporaryMarker));
    // A file replaced keeps its permissions; a new library is private to its user, and a new
    // document is readable by others as far as the user's umask lets it be.
    struct stat existing;
    const bool replacing = ::stat(native(target).constData(), &existing) == 0;
    // Only a file is replaced: a folder, a pipe or a device stays what it is.
    if (replacing && !S_ISREG(existing.st_mode))
        failNotRegular("Could not replace", target, existing.st_mode);
    const auto [descriptor, temporary]
        = createTemporary(prefix, access == NewFileAccess::everyone ? 0644 : 0600, target);
    FileDescriptor fd(descriptor);
    auto pending = std::make_unique<PosixPendingWrite>(*this, temporary, target);
    if (replacing && ::fchmod(fd.get(), existing.st_mode & 07777) != 0)
        fail("Could not write", target);
    writeTemporary(fd.get(), bytes, target);
    syncFile(fd.get(), target);
    fd.close(target);
    return pending;
}

int PosixFileSystem::removeTemporaryFiles(const QString& path)
{
    QString target;
    try {
        target = replacedFile(path);
    } catch (const FileSystemError&) {
        return 0;
    }
    const QFileInfo info(target);
    const QByteArray prefix = '.' + native(info.fileName()) + temporaryMarker;
    DIR* folder = ::opendir(native(info.absolutePath()).constData());
    if (!folder)
        return 0;
    std::vector<QByteArray> leftovers;
    while (const dirent* entry = ::readdir(folder)) {
        struct stat found;
        // Only regular files of ours: never a folder or a link that happens to carry such a name.
        if (isTemporaryName(QByteArrayView(entry->d_name), prefix)
            && ::fstatat(::dirfd(folder), entry->d_name, &found, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(found.st_mode)
            && found.st_uid == ::geteuid())
            leftovers.emplace_back(entry->d_name);
    }
    int removed = 0;
    for (const QByteArray& name : leftovers)
        removed += ::unlinkat(::dirfd(folder), name.constData(), 0) == 0 ? 1 : 0;
    ::closedir(folder);
    return removed;
}

std::unique_ptr<AppendFile> PosixFileSystem::openForAppending(const QString& path)
{
    const int fd = ::open(native(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        fail("Could not open", path);
    return std::make_unique<PosixAppendFile>(fd, path);
}

} // namespace vellicord
