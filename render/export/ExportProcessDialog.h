#pragma once
// The progress of a running export: a bar that follows the frames written, a line
// that says when the file is complete, "Running in the background" (minimises
// the dialog) and "Done" (ends the run; before the end it stops the export, and
// the part written stays a playable file). Lives on: main thread.

#include <QDialog>

namespace Ui {
class ExportProcessDialog;
}

class ExportProcessDialog : public QDialog {
    Q_OBJECT
public:
    explicit ExportProcessDialog(QWidget *parent = nullptr);
    ~ExportProcessDialog() override;
    int value() const;
    int maximum() const;
    bool isFinished() const { return m_finished; }

public slots:
    void slot_processUpdate(int value, int max);
    // Every frame and the sound are written: the bar is full and "Done" ends the run.
    void slot_finished();

private:
    Ui::ExportProcessDialog *ui;
    bool m_finished = false;
};
