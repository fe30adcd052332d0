#pragma once
// Loads a style sheet resource onto its parent widget, scaled to the screen's
// pixel density. Lives on: main thread.

#include <QObject>

class QssManager : public QObject {
    Q_OBJECT
public:
    explicit QssManager(QObject *parent);
    // Sets the scaled style sheet on the parent widget; a missing file changes nothing.
    // The lists of its combo boxes are drawn by the sheet too: some styles draw them
    // as menus, which take the sheet's text colour but not its background or hover.
    bool loadStyleSheet(const QString &path);

    // Replaces each line `@import url(":/qss/name.css");` by that sheet's text, so
    // that dialogs share common blocks (one level deep; a missing sheet adds nothing).
    static QString expandImports(const QString &css);
    // Multiplies every "<digits>px" by `scale` when it is greater than 1.
    static QString scaleStyleSheet(const QString &css, double scale);
    // Primary screen's logical dots per inch / 96 (1 without a screen).
    static double screenScale();
};
