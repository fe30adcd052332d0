#pragma once
// Progress dialog shown while a project is archived with its materials.
// Lives on: main thread.

#include <QDialog>

class QProgressBar;

class ArchivedProcessDialog : public QDialog {
    Q_OBJECT
public:
    explicit ArchivedProcessDialog(QWidget *parent = nullptr);
    Q_INVOKABLE void setProgress(int done, int total);

signals:
    // The user asked to stop archiving.
    void sig_cancel();

private:
    QProgressBar *m_bar;
};
