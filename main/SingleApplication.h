#pragma once
// Application base that will decide whether this process is the primary editor.
// Until the instance guard is built every process is primary.
// Lives on: main thread.

#include <QApplication>

class SingleApplication : public QApplication {
    Q_OBJECT
public:
    // Mode flags: 1 user scope, 2 system scope, 4 notify the primary on a secondary start.
    SingleApplication(int &argc, char **argv, bool allowSecondary, int mode, int timeoutMs);
    bool isPrimary() const { return m_primary; }
    bool isSecondary() const { return !m_primary; }

private:
    bool m_primary = true;
};

class SingleApplicationWrapper : public SingleApplication {
    Q_OBJECT
public:
    SingleApplicationWrapper(int &argc, char **argv) : SingleApplication(argc, argv, true, 7, 1000)
    {}
};
