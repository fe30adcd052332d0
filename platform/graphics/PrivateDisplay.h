#pragma once
// An X server of this process's own (Xvfb, software-drawn, no screen) for drawing
// where no display is set, e.g. rendering a project on a server. It takes a free
// display number, DISPLAY points at it while the object lives, and it stops with
// the object (or with this process, should it die first).
// Lives on: the main thread, created before the application object.

#include <QString>

class PrivateDisplay {
public:
    PrivateDisplay() = default;
    ~PrivateDisplay();
    PrivateDisplay(const PrivateDisplay &) = delete;
    PrivateDisplay &operator=(const PrivateDisplay &) = delete;

    // Starts the server and sets DISPLAY; on failure says why in `error`.
    bool start(QString *error);
    // The display name it set, e.g. ":3" (empty when not started).
    QString name() const { return m_name; }

private:
    void stop();

    long m_pid = -1;
    QString m_name;
};
