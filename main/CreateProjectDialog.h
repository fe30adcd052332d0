#pragma once
// The new-project dialog: name, folder and resolution of a new project.
// Lives on: main thread.

#include <QDialog>

namespace Ui {
class CreateProjectDialog;
}

class CreateProjectDialog : public QDialog {
    Q_OBJECT
public:
    explicit CreateProjectDialog(QWidget *parent = nullptr);
    ~CreateProjectDialog() override;

    // Fills the name field with a fresh default name, then runs modally.
    int exec() override;
    // The name the dialog proposes now: "zu_" + yyyyMMdd + "_" + HHmmss.
    static QString defaultName();
    // The program started for the quick export (a separate product).
    static QString quickExportProgram();

public slots:
    void on_pushButton_advance_clicked(bool checked);
    void on_radioButton_select_toggled(bool checked);
    void on_radioButton_custom_toggled(bool checked);
    void on_checkBox_single_toggled(bool checked);
    void on_pushButton_browse_clicked();
    void on_pushButton_create_clicked();
    void on_pushButton_cancel_clicked();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void inform(const QString &text);
    Ui::CreateProjectDialog *ui;
};
