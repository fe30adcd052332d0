#pragma once
// Key-based translator: answers every translation call from the key-to-text table
// of the chosen language file. Lives on: main thread (read-only after construction).

#include <QHash>
#include <QTranslator>

class ZuTransLator : public QTranslator {
    Q_OBJECT
public:
    // Reads the "IsEnglish" setting and loads the matching language file.
    ZuTransLator();
    // Loads an explicit language file (used by the language-file checks).
    explicit ZuTransLator(const QString &languageFile);

    QString translate(const char *context, const char *sourceText,
                      const char *disambiguation = nullptr, int n = -1) const override;
    bool isEmpty() const override { return m_table.isEmpty(); }

    int size() const { return m_table.size(); }
    QStringList keys() const { return m_table.keys(); }
    // Resource path of the language file chosen by the setting.
    static QString chosenLanguageFile();

private:
    void load(const QString &file);
    QHash<QString, QString> m_table;
};
