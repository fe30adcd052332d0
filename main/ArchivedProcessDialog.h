#pragma once
// Progress card shown while a project is archived with its materials: how much
// has been copied, and a way to stop. Lives on: main thread.

#include <QDialog>

class QLabel;
class QProgressBar;

class ArchivedProcessDialog : public QDialog {
    Q_OBJECT
public:
    explicit ArchivedProcessDialog(QWidget *parent = nullptr);
    // Bytes copied so far of the total; a total of zero shows a busy bar.
    Q_INVOKABLE void setProgress(qint64 done, qint64 total);

signals:
    // The user asked to stop archiving.
    void sig_cancel();

protected:
    void reject() override; // Escape cancels the archive rather than hiding the card

private:
    QProgressBar *m_bar;
    QLabel *m_state;
};
