#pragma once
// Sign-in dialog of the online services. The editor works fully offline; this
// dialog only keeps the place the application object expects.
// Lives on: main thread.

#include <QDialog>

class LoginDialog : public QDialog {
    Q_OBJECT
public:
    explicit LoginDialog(QWidget *parent = nullptr);
    // Signs in without asking when the user chose to stay signed in (never, offline).
    void autoLogin();
    bool isSignedIn() const { return false; }
};
