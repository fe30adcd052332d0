#pragma once
// Names an archive of the open project: its source file, the folder the archive is
// made in and the archive's name; Archive checks both and hands over to the
// application, which copies the project and its materials into folder/name.
// Lives on: main thread.

#include <QDialog>

namespace Ui {
class ArchivedDialog;
}

class ArchivedDialog : public QDialog {
    Q_OBJECT
public:
    explicit ArchivedDialog(QWidget *parent = nullptr);
    ~ArchivedDialog() override;
    // Fills the source and a fresh default name, then runs modally.
    int exec() override;
    // "Zu剪辑-" + yyyyMMdd + "_" + HH-mm.
    static QString defaultName();
    QString target() const;

signals:
    void sig_archive(const QString &target);

public slots:
    void on_pushButton_select_clicked();
    void on_pushButton_archived_clicked();

private:
    Ui::ArchivedDialog *ui;
};
