#include "SingleApplication.h"

#include "bridge/Logger.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRandomGenerator>
#include <QSharedMemory>
#include <QStandardPaths>
#include <QThread>

#include <cstddef>
#include <cstdlib>
#include <cstring>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>
#endif

namespace {

// The block every instance reads: who the primary is, and how many came after it.
struct InstancesInfo {
    quint8 primary;
    quint32 secondary;
    qint64 primaryPid;
    char primaryUser[128];
    quint16 checksum; // of the first 144 bytes
};
static_assert(offsetof(InstancesInfo, secondary) == 4, "block layout");
static_assert(offsetof(InstancesInfo, primaryPid) == 8, "block layout");
static_assert(offsetof(InstancesInfo, primaryUser) == 16, "block layout");
static_assert(offsetof(InstancesInfo, checksum) == 144, "block layout");
static_assert(sizeof(InstancesInfo) == 152, "block layout");

enum ConnectionType : quint8 { NewInstance = 1, SecondaryInstance = 2, Reconnect = 3 };

quint16 blockChecksum(const InstancesInfo *info)
{
    return qChecksum(reinterpret_cast<const char *>(info), offsetof(InstancesInfo, checksum));
}

QString userName()
{
#ifdef Q_OS_UNIX
    if (const passwd *pw = ::getpwuid(::geteuid()))
        return QString::fromLocal8Bit(pw->pw_name);
#endif
    return qEnvironmentVariable("USERNAME", qEnvironmentVariable("USER"));
}

// True unless the process is known to be gone (a primary that crashed leaves its block
// behind on this platform: shared memory outlives the process that made it).
bool processAlive(qint64 pid)
{
#ifdef Q_OS_UNIX
    if (pid <= 0 || (::kill(pid_t(pid), 0) != 0 && errno == ESRCH))
        return false;
#ifdef Q_OS_LINUX
    // A killed process whose parent has not collected it yet still answers; it is
    // gone all the same ("Z" in the third field of its stat line).
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray line = stat.readAll();
        const int end = line.lastIndexOf(')'); // the name may hold spaces and brackets
        if (end > 0 && end + 2 < line.size() && line.at(end + 2) == 'Z')
            return false;
    }
#endif
    return true;
#else
    return pid > 0;
#endif
}

void randomWait()
{
    QThread::msleep(8 + QRandomGenerator::global()->bounded(11));
}

} // namespace

// Lives on: main thread, owned by the application object.
class SingleApplicationPrivate : public QObject {
public:
    SingleApplicationPrivate(SingleApplication *q, int mode) : q(q), mode(mode) {}

    ~SingleApplicationPrivate() override
    {
        if (socket) {
            socket->close();
            delete socket;
        }
        if (memory.isAttached() && server && ownsBlock) {
            memory.lock();
            auto *info = block();
            server->close();
            info->primary = 0;
            info->primaryPid = -1;
            info->primaryUser[0] = 0;
            info->checksum = blockChecksum(info);
            memory.unlock();
        }
        delete server;
    }

    InstancesInfo *block() { return static_cast<InstancesInfo *>(memory.data()); }

    void genBlockName()
    {
        QCryptographicHash hash(QCryptographicHash::Sha256);
        hash.addData("SingleApplication");
        hash.addData(QCoreApplication::applicationName().toUtf8());
        hash.addData(QCoreApplication::organizationName().toUtf8());
        hash.addData(QCoreApplication::organizationDomain().toUtf8());
        if (!(mode & SingleApplication::ExcludeAppVersion))
            hash.addData(QCoreApplication::applicationVersion().toUtf8());
        if (!(mode & SingleApplication::ExcludeAppPath))
            hash.addData(QCoreApplication::applicationFilePath().toLower().toUtf8());
        if (mode & SingleApplication::User)
            hash.addData(userName().toUtf8());
        // One editor per login session rather than per user: the session's runtime
        // folder ($XDG_RUNTIME_DIR) is part of the name, and the socket lives there,
        // so two sessions (or tests with their own runtime folders) never meet.
        const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        hash.addData(runtime.toUtf8());
        name = QString::fromLatin1(hash.result().toBase64().replace('/', '_'));
        socketPath =
            runtime.isEmpty() ? name : runtime + QStringLiteral("/zuaedit-") + name.left(16);
    }

    void initialiseBlock()
    {
        auto *info = block();
        std::memset(info, 0, sizeof *info);
        info->primaryPid = -1;
        info->checksum = blockChecksum(info);
    }

    void startPrimary()
    {
        auto *info = block();
        info->primary = 1;
        info->primaryPid = QCoreApplication::applicationPid();
        const QByteArray user = userName().toUtf8().left(127);
        std::memcpy(info->primaryUser, user.constData(), size_t(user.size()));
        info->primaryUser[user.size()] = 0;
        info->checksum = blockChecksum(info);
        ownsBlock = true;
        listenAsPrimary();
    }

    void listenAsPrimary()
    {
        instanceNumber = 0;
        QLocalServer::removeServer(socketPath); // a crashed primary's socket file
        server = new QLocalServer;
        server->setSocketOptions((mode & SingleApplication::User)
                                     ? QLocalServer::UserAccessOption
                                     : QLocalServer::WorldAccessOption);
        server->listen(socketPath);
        connect(server, &QLocalServer::newConnection, this,
                &SingleApplicationPrivate::slotConnectionEstablished);
    }

    // True when a primary listens in this session's runtime folder.
    bool primaryAnswers()
    {
        QLocalSocket probe;
        probe.connectToServer(socketPath);
        const bool answered = probe.waitForConnected(1000);
        probe.abort();
        return answered;
    }

    void startSecondary()
    {
        auto *info = block();
        info->secondary += 1;
        info->checksum = blockChecksum(info);
        instanceNumber = info->secondary;
    }

    bool connectToPrimary(int timeoutMs, ConnectionType type)
    {
        QElapsedTimer time;
        time.start();
        if (!socket)
            socket = new QLocalSocket;
        if (socket->state() == QLocalSocket::ConnectedState)
            return true;
        while (time.elapsed() < timeoutMs) {
            randomWait();
            if (socket->state() == QLocalSocket::UnconnectedState)
                socket->connectToServer(socketPath);
            if (socket->state() == QLocalSocket::ConnectingState)
                socket->waitForConnected(int(qMax<qint64>(0, timeoutMs - time.elapsed())));
            if (socket->state() == QLocalSocket::ConnectedState)
                break;
        }
        if (socket->state() != QLocalSocket::ConnectedState)
            return false;
        QByteArray body;
        QDataStream out(&body, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_5_6); // version 17
        out << name.toLatin1() << quint8(type) << instanceNumber;
        out << quint16(qChecksum(body.constData(), uint(body.size())));
        QByteArray header;
        QDataStream head(&header, QIODevice::WriteOnly);
        head.setVersion(QDataStream::Qt_5_6);
        head << qint64(body.size());
        socket->write(header);
        socket->write(body);
        socket->waitForBytesWritten(int(qMax<qint64>(0, timeoutMs - time.elapsed())));
        socket->flush();
        return true;
    }

    // Primary side: a connection is accepted once its announcement reads whole.
    struct Connection {
        qint64 bodyLength = -1;
        bool accepted = false;
        quint32 instance = 0;
    };

    void slotConnectionEstablished()
    {
        while (QLocalSocket *s = server->nextPendingConnection()) {
            connections.insert(s, Connection());
            connect(s, &QLocalSocket::readyRead, this, [this, s] { slotDataAvailable(s); });
            connect(s, &QLocalSocket::disconnected, this, [this, s] {
                connections.remove(s);
                s->deleteLater();
            });
            if (s->bytesAvailable() > 0)
                slotDataAvailable(s);
        }
    }

    void slotDataAvailable(QLocalSocket *s)
    {
        auto it = connections.find(s);
        if (it == connections.end())
            return;
        Connection &c = *it;
        if (c.accepted) {
            emit q->receivedMessage(c.instance, s->readAll());
            return;
        }
        if (c.bodyLength < 0) {
            if (s->bytesAvailable() < qint64(sizeof(qint64)))
                return;
            QDataStream head(s);
            head.setVersion(QDataStream::Qt_5_6);
            head >> c.bodyLength;
            if (c.bodyLength <= 0 || c.bodyLength > 4096) {
                s->close();
                return;
            }
        }
        if (s->bytesAvailable() < c.bodyLength)
            return;
        const QByteArray body = s->read(c.bodyLength);
        QDataStream in(body);
        in.setVersion(QDataStream::Qt_5_6);
        QByteArray blockName;
        quint8 type = 0;
        quint32 instance = 0;
        quint16 checksum = 0;
        in >> blockName >> type >> instance >> checksum;
        const int checked = int(body.size()) - int(sizeof(quint16));
        if (in.status() != QDataStream::Ok || blockName != name.toLatin1() || checked < 0 ||
            checksum != qChecksum(body.constData(), uint(checked))) {
            s->close();
            return;
        }
        c.accepted = true;
        c.instance = instance;
        if (s->bytesAvailable() > 0)
            emit q->receivedMessage(c.instance, s->readAll());
    }

    SingleApplication *q;
    int mode;
    QSharedMemory memory;
    QLocalSocket *socket = nullptr;
    QLocalServer *server = nullptr;
    quint32 instanceNumber = 0;
    QString name;
    QString socketPath;     // the local server's socket, in the session's runtime folder
    bool ownsBlock = false; // this primary recorded itself in the block
    QHash<QLocalSocket *, Connection> connections;
};

namespace {
[[noreturn]] void endOnGuardError(std::unique_ptr<SingleApplicationPrivate> &d, const char *what)
{
    BG_LOG_E("SingleApplication: %s %d %s", what, int(d->memory.error()),
             qUtf8Printable(d->memory.errorString()));
    d.reset();
    ::exit(1);
}
} // namespace

SingleApplication::SingleApplication(int &argc, char **argv, bool allowSecondary, int mode,
                                     int timeoutMs)
    : QApplication(argc, argv), d(std::make_unique<SingleApplicationPrivate>(this, mode))
{
    d->genBlockName();
    randomWait();
    d->memory.setKey(d->name);
    if (d->memory.create(sizeof(InstancesInfo))) {
        if (!d->memory.lock())
            endOnGuardError(d, "Unable to lock memory block after create.");
        d->initialiseBlock();
    } else if (d->memory.error() == QSharedMemory::AlreadyExists) {
        if (!d->memory.attach())
            endOnGuardError(d, "Unable to attach to shared memory block.");
        if (!d->memory.lock())
            endOnGuardError(d, "Unable to lock memory block after attach.");
    } else {
        endOnGuardError(d, "Unable to create block.");
    }

    QElapsedTimer time;
    time.start();
    while (d->block()->checksum != blockChecksum(d->block())) {
        if (time.elapsed() > 5000) {
            BG_LOG_W("SingleApplication: Shared memory block has been in an inconsistent state "
                     "from more than 5s. Assuming primary instance failure.");
            d->initialiseBlock();
        }
        d->memory.unlock();
        randomWait();
        if (!d->memory.lock())
            endOnGuardError(d, "Unable to lock memory after random wait.");
    }
    // A primary that ended without clearing its record (killed, crashed) is no primary.
    if (d->block()->primary && !processAlive(d->block()->primaryPid)) {
        BG_LOG_W("SingleApplication: the primary instance (process %lld) is gone.",
                 static_cast<long long>(d->block()->primaryPid));
        d->initialiseBlock();
    }

    if (!d->block()->primary) {
        d->startPrimary();
        d->memory.unlock();
        return;
    }
    // System V keys can collide (they keep 16 bits of a file's inode): a primary
    // recorded in the block that does not listen in this session's runtime folder is
    // another session's. This process is then the primary of its own session and
    // leaves the block as it is.
    if (!d->primaryAnswers()) {
        BG_LOG_W("SingleApplication: the recorded primary (process %lld) is not this session's.",
                 static_cast<long long>(d->block()->primaryPid));
        d->memory.unlock();
        d->listenAsPrimary();
        return;
    }
    if (!allowSecondary) {
        d->memory.unlock();
        d->connectToPrimary(timeoutMs, NewInstance);
        d.reset();
        ::exit(0);
    }
    d->startSecondary();
    if (mode & SecondaryNotification)
        d->connectToPrimary(timeoutMs, SecondaryInstance);
    d->memory.unlock();
}

SingleApplication::~SingleApplication() = default;

bool SingleApplication::isPrimary() const
{
    return d && d->server;
}

bool SingleApplication::isSecondary() const
{
    return !isPrimary();
}

quint32 SingleApplication::instanceId() const
{
    return d ? d->instanceNumber : 0;
}

QString SingleApplication::blockName() const
{
    return d ? d->name : QString();
}

bool SingleApplication::sendMessage(const QByteArray &message, int timeoutMs)
{
    if (!d || isPrimary() || !d->connectToPrimary(timeoutMs, Reconnect))
        return false;
    d->socket->write(message);
    const bool written = d->socket->waitForBytesWritten(timeoutMs);
    d->socket->flush();
    return written;
}
