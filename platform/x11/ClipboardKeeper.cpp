#include "platform/x11/ClipboardKeeper.h"

#include <QDataStream>
#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <unistd.h>

extern char** environ;

namespace vellicord::ClipboardKeeper {

namespace {

constexpr quint32 magic = 0x56434b31; // "VCK1"

bool writeAll(int descriptor, const QByteArray& bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(descriptor, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += n;
    }
    return true;
}

} // namespace

QByteArray encode(const PasteboardItem& item)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << magic << quint32(item.size());
    for (const auto& [target, data] : item)
        out << target.toLatin1() << data;
    return bytes;
}

std::optional<PasteboardItem> decode(const QByteArray& bytes)
{
    QDataStream in(bytes);
    quint32 header = 0;
    quint32 count = 0;
    in >> header >> count;
    if (in.status() != QDataStream::Ok || header != magic)
        return std::nullopt;
    PasteboardItem item;
    for (quint32 i = 0; i < count; ++i) {
        QByteArray target;
        QByteArray data;
        in >> target >> data;
        if (in.status() != QDataStream::Ok || target.isEmpty())
            return std::nullopt;
        item.append({QString::fromLatin1(target), data});
    }
    if (!in.atEnd())
        return std::nullopt;
    return item;
}

std::optional<pid_t> start(const QString& program, const PasteboardItem& item, xcb_window_t previousOwner)
{
    // The content goes through an anonymous file rather than a pipe, so that we need not wait for
    // the keeper to read it before we end.
    const int content = ::memfd_create("vellicord-clipboard", MFD_CLOEXEC);
    if (content < 0)
        return std::nullopt;
    if (!writeAll(content, encode(item)) || ::lseek(content, 0, SEEK_SET) != 0) {
        ::close(content);
        return std::nullopt;
    }
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_adddup2(&files, content, STDIN_FILENO);
    posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK);
    const QByteArray path = QFile::encodeName(program);
    const QByteArray window = QByteArray::number(previousOwner);
    char* arguments[] = {const_cast<char*>(path.constData()), const_cast<char*>(window.constData()), nullptr};
    pid_t pid = 0;
    const int failed = ::posix_spawn(&pid, path.constData(), &files, &attributes, arguments, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&files);
    ::close(content);
    if (failed != 0)
        return std::nullopt;
    return pid;
}

} // namespace vellicord::ClipboardKeeper
