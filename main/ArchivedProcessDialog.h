#pragma once
// Progress dialog shown while a project is archived with its materials.
// Lives on: main thread.

#include <QDialog>

class QProgressBar;

class ArchivedProcessDialog : public QDialog {
    Q_OBJECT
public:
    explicit ArchivedProcessDialog(QWidget *parent = nullptr);
    void setProgress(int done, int total);

private:
    QProgressBar *m_bar;
};
