#pragma once
// The progress of a running export: a bar that follows the frames written, a line
// that says when the file is being finished and when it is complete, "Running in
// the background" (minimises the dialog) and "Done" (closes it once the file is
// complete). Before that, "Done", Escape or closing the window ask before stopping,
// and Enter does nothing.
// Lives on: main thread.

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
    // Everything is encoded; the file is being closed (no count to show).
    void slot_finishing();
    // Escape and the window's close button: asks first while the export runs.
    void reject() override;

private:
    Ui::ExportProcessDialog *ui;
    bool m_finished = false;
    int m_max = 0; // the last frame count told
};
