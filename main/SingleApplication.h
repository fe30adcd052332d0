#pragma once
// Application base that decides whether this process is the primary editor of this
// login session and installation. A named shared-memory block records the primary;
// the primary listens on a local socket in the session's runtime folder, on which a
// later process announces itself (and may pass a message) before it ends.
// Lives on: main thread.

#include <QApplication>

#include <memory>

class SingleApplicationPrivate;

class SingleApplication : public QApplication {
    Q_OBJECT
public:
    enum Mode {
        User = 1,   // the user name is part of the name; only this user connects
        System = 2, // one editor for the whole machine
        SecondaryNotification = 4,
        ExcludeAppVersion = 8,
        ExcludeAppPath = 16,
    };
    SingleApplication(int &argc, char **argv, bool allowSecondary, int mode, int timeoutMs);
    ~SingleApplication() override;

    bool isPrimary() const;
    bool isSecondary() const;
    // 0 for the primary, n for the n-th secondary started since the primary.
    quint32 instanceId() const;
    // Secondary: sends `message` to the primary; false when it could not be delivered.
    bool sendMessage(const QByteArray &message, int timeoutMs = 1000);
    // The shared-memory block's and the local server's name.
    QString blockName() const;

signals:
    void receivedMessage(quint32 instanceId, const QByteArray &message);

private:
    friend class SingleApplicationPrivate;
    std::unique_ptr<SingleApplicationPrivate> d;
};

class SingleApplicationWrapper : public SingleApplication {
    Q_OBJECT
public:
    SingleApplicationWrapper(int &argc, char **argv) : SingleApplication(argc, argv, true, 7, 1000)
    {}
};
