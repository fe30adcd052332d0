#pragma once
// The library's drop area shown while it holds no material: a logo, a hint, and
// files dropped here are added (a single project file is opened instead).
// Lives on: main thread.

#include <QWidget>

class QLabel;

class EmptyMaterialWidget : public QWidget {
    Q_OBJECT
public:
    explicit EmptyMaterialWidget(QWidget *parent = nullptr);

signals:
    void sig_addNewMaterial(const QStringList &files);
    // A lone project file was dropped: the application opens it.
    void sig_openProject(const QString &path);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};
