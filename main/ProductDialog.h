#pragma once
// The settings menu's product dialogs: about us, the version in use with where
// updates come from, and where to follow the project. One small dialog with a
// title, a picture, a text and its buttons.
// Lives on: main thread.

#include <QDialog>

class QLabel;

class ProductDialog : public QDialog {
    Q_OBJECT
public:
    enum Kind { About, Version, Follow };
    static constexpr const char *kProjectPage = "https://github.com/zuaedit/zuaedit";

    explicit ProductDialog(Kind kind, QWidget *parent = nullptr);
    // The dialog's text as shown (for a look from tests).
    QString text() const;

private:
    QLabel *m_text;
};
