#pragma once
// One entry of the works page: the project's file name as a link, its modification
// time and its folder; a context menu to open, rename, show in the file manager,
// import another project or remove it from the list.
// Lives on: main thread.

#include <QWidget>

namespace Ui {
class HistoryItemWidget;
}

class HistoryItemWidget : public QWidget {
    Q_OBJECT
public:
    explicit HistoryItemWidget(QWidget *parent = nullptr);
    ~HistoryItemWidget() override;

    void setProjectPath(const QString &path);
    QString projectPath() const { return m_path; }
    // Shows the rename box in place of the link.
    void startRename();

signals:
    void signal_openProject(const QString &proPath);
    void signal_removeProject(const QString &proPath);
    void signal_addWork();

public slots:
    void on_label_openProject_linkActivated(const QString &link);
    void slot_renameFinished();
    void slot_renameRejected();

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refuse(const QString &text);
    Ui::HistoryItemWidget *ui;
    QString m_path;
};
