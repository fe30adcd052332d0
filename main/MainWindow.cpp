#include "MainWindow.h"
#include "ui_MainWindow.h"

#include "QssManager.h"
#include "Translate.h"

#include <QXmlStreamReader>

MainWindow::MainWindow(QWidget *parent) : QWidget(parent), ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    const double s = QssManager::screenScale();
    setWindowTitle(ZTR("Mainwindow.Title"));
    resize(int(1200 * s), int(800 * s));
    ui->widget_resource->setMinimumWidth(int(580 * s));
    ui->label_project_name->setMaximumWidth(int(500 * s));
    for (QSplitter *splitter : {ui->splitter_vertical, ui->splitter_horizontal}) {
        splitter->setStretchFactor(0, 4);
        splitter->setStretchFactor(1, 6);
    }
    (new QssManager(this))->loadStyleSheet(QStringLiteral(":/qss/main-window.css"));
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::writeMaterials(QXmlStreamWriter &, bool) {}

void MainWindow::readMaterials(QXmlStreamReader &reader)
{
    reader.skipCurrentElement();
}

void MainWindow::readLegacyMaterials(QXmlStreamReader &reader)
{
    reader.skipCurrentElement();
}

void MainWindow::writeTimeline(QXmlStreamWriter &, bool) {}

void MainWindow::readTimeline(QXmlStreamReader &reader)
{
    reader.skipCurrentElement();
}

void MainWindow::readLegacyScene(QXmlStreamReader &reader)
{
    reader.skipCurrentElement();
}

void MainWindow::readLegacyTree(QXmlStreamReader &reader)
{
    reader.skipCurrentElement();
}

void MainWindow::clearContent() {}

void MainWindow::setPreviewMaximised(bool maximised)
{
    ui->widget_resource->setVisible(!maximised);
    ui->widget_control->setVisible(!maximised);
}

void MainWindow::slot_updateProjectName(const QString &text, bool isName)
{
    if (isName)
        ui->label_project_name->setText(text);
}
