#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace rendaal {
namespace {

constexpr char kShowRequest[] = "show\n";
constexpr char kShowAnswer[] = "ok\n";
// A client that sends more than this is not ours.
constexpr qint64 kMaxRequest = 64;

}  // namespace

std::string InstanceKey(const std::string& dataFolder) {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::weakly_canonical(dataFolder, ec);
    if (ec) {
        p = std::filesystem::path(dataFolder).lexically_normal();
    }
    std::string text = p.string();
    while (text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    const QByteArray hash =
        QCryptographicHash::hash(QByteArray::fromStdString(text), QCryptographicHash::Sha256);
    return hash.toHex().left(16).toStdString();
}

SingleInstance::SingleInstance(const std::string& dataFolder, QString runtimeFolder,
                               QObject* parent)
    : QObject(parent) {
    if (runtimeFolder.isEmpty()) {
        runtimeFolder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    }
    if (!runtimeFolder.isEmpty()) {
        const QString base = QDir(runtimeFolder)
                                 .filePath(QStringLiteral("rendaal-") +
                                           QString::fromStdString(InstanceKey(dataFolder)));
        lockPath_ = base + QStringLiteral(".lock");
        socketPath_ = base + QStringLiteral(".sock");
    }
}

SingleInstance::~SingleInstance() {
    if (server_ != nullptr) {
        server_->close();  // removes the socket file
    }
    if (lockFd_ >= 0) {
        ::close(lockFd_);
    }
}

bool SingleInstance::Claim() {
    if (lockFd_ >= 0) {
        return true;
    }
    if (lockPath_.isEmpty()) {
        problem_ = QStringLiteral("geen runtime-map");
        return true;
    }
    const QByteArray path = QFile::encodeName(lockPath_);
    // Not inherited by programs started from here (browser, installer): they would hold the
    // lock after this process ended. Non-blocking: a FIFO in its place must not hang the start.
    const int fd =
        ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        problem_ = lockPath_ + QStringLiteral(": ") +
                   QString::fromLocal8Bit(fd < 0 ? std::strerror(errno) : "geen gewoon bestand");
        if (fd >= 0) {
            ::close(fd);
        }
        return true;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK) {
            return false;
        }
        problem_ = lockPath_ + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
        return true;
    }
    lockFd_ = fd;
    Listen();
    return true;
}

void SingleInstance::Listen() {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket file left by a crashed holder: the lock says nobody serves it any more.
    QLocalServer::removeServer(socketPath_);
    if (!server_->listen(socketPath_)) {
        problem_ = socketPath_ + QStringLiteral(": ") + server_->errorString();
        return;
    }
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::Serve);
}

void SingleInstance::Serve() {
    while (QLocalSocket* client = server_->nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] {
            if (client->bytesAvailable() > kMaxRequest) {
                client->abort();
                return;
            }
            if (!client->canReadLine()) {
                return;
            }
            if (client->readLine(kMaxRequest) == kShowRequest) {
                client->write(kShowAnswer);
                client->flush();
                emit ShowRequested();
            }
            client->disconnectFromServer();
        });
    }
}

bool SingleInstance::AskRunningToShow(int timeoutMs) {
    if (socketPath_.isEmpty()) {
        return false;
    }
    // The running one may hold the lock but not listen yet (it is just starting): try again
    // until the time is up.
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(socketPath_);
        if (socket.waitForConnected(std::min<qint64>(deadline.remainingTime(), 500))) {
            socket.write(kShowRequest);
            if (!socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) {
                return false;
            }
            while (!socket.canReadLine()) {
                if (!socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
                    return false;
                }
            }
            return socket.readLine(kMaxRequest) == kShowAnswer;
        }
        QThread::msleep(50);
    }
    return false;
}

}  // namespace rendaal
