#pragma once

#include <QObject>
#include <QString>
#include <string>

class QLocalServer;

namespace rendaal {

// One running window per data folder. The first start takes a lock file in the runtime folder
// (held until the process ends, so a crash frees it) and listens on a local socket beside it; a
// later start for the same folder finds the lock taken and asks the running one, through the
// socket, to come to the front.
class SingleInstance final : public QObject {
    Q_OBJECT

public:
    // runtimeFolder: empty for the user's runtime folder.
    explicit SingleInstance(const std::string& dataFolder, QString runtimeFolder = QString(),
                            QObject* parent = nullptr);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process is now the one for the folder. Also true when no lock can be
    // made at all (no runtime folder): two windows are better than none.
    bool Claim();
    // Asks the running one to show itself; false when it gave no answer within timeoutMs.
    bool AskRunningToShow(int timeoutMs = 3000);

    const QString& LockPath() const { return lockPath_; }
    const QString& SocketPath() const { return socketPath_; }
    // Why Claim could not lock, for the user; empty when it could.
    const QString& Problem() const { return problem_; }

signals:
    void ShowRequested();

private:
    void Listen();
    void Serve();

    QString lockPath_;
    QString socketPath_;
    QString problem_;
    int lockFd_ = -1;
    QLocalServer* server_ = nullptr;
};

// A short stable name for a data folder: the same folder reached by another path (a symlink, a
// trailing "/") gives the same name.
std::string InstanceKey(const std::string& dataFolder);

}  // namespace rendaal
