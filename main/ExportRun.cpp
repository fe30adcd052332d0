#include "ExportRun.h"

#include "ExportProcessDialog.h"

#include "common/MessageBox.h"
#include "common/Translate.h"
#include "render/export/ExportManager.h"
#include "render/export/Exporter.h"

#include <QPointer>

void runExport(Exporter *exporter, const MVParams &params)
{
    ExportManager *manager = exporter->manager();
    auto *dialog = new ExportProcessDialog;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(manager, &ExportManager::sig_processUpdate, dialog,
                     &ExportProcessDialog::slot_processUpdate);
    QObject::connect(manager, &ExportManager::sig_finishing, dialog,
                     &ExportProcessDialog::slot_finishing);
    QObject::connect(dialog, &QDialog::finished, manager, [manager] {
        if (manager->isExporting())
            manager->cancel();
    });
    // How the run ended is told once, whether the dialog is still open or not.
    auto *run = new QObject(exporter);
    QPointer<ExportProcessDialog> shown = dialog;
    QObject::connect(exporter, &Exporter::sig_exportEnded, run, [run, shown, manager](int outcome) {
        run->deleteLater();
        const auto result = ExportManager::Result(outcome);
        if (result == ExportManager::Result::Written) {
            if (shown)
                shown->slot_finished(); // "Done" closes it
            return;
        }
        if (shown)
            shown->done(QDialog::Rejected); // nothing left to stop: no question
        const QString text = manager->messageText(result);
        if (!text.isEmpty())
            MessageBox::inform(nullptr, ZKEY("exportmvwindow.Hint"), text,
                               ZKEY("exportmvwindow.Ok"));
    });
    dialog->open();
    exporter->startExport(params);
}
