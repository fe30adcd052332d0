#include "ZuTransLator.h"

#include "Resources.h"

#include "bridge/Bridge.h"

#include <QSettings>

namespace {
bool englishChosen()
{
    return bg::UserSettings::instance().get("IsEnglish", "简体中文") == "English";
}
} // namespace

QString ZuTransLator::chosenLanguageFile()
{
    return englishChosen() ? QStringLiteral(":/language/en-Us-new.ini")
                           : QStringLiteral(":/language/zh-cn-new.ini");
}

ZuTransLator::ZuTransLator()
{
    bg::AppInfo::instance().setValue("language", bg::Value(englishChosen() ? "en" : "zh"));
    load(chosenLanguageFile());
}

ZuTransLator::ZuTransLator(const QString &languageFile)
{
    load(languageFile);
}

void ZuTransLator::load(const QString &file)
{
    zuaEnsureResources();
    QSettings ini(file, QSettings::IniFormat);
    ini.setIniCodec("UTF-8");
    const QStringList keys = ini.allKeys();
    m_table.reserve(keys.size());
    for (const QString &key : keys)
        m_table.insert(key, ini.value(key).toString());
}

QString ZuTransLator::translate(const char *context, const char *sourceText,
                                const char *disambiguation, int n) const
{
    auto it = m_table.constFind(QString::fromUtf8(sourceText));
    if (it != m_table.constEnd())
        return *it;
    return QTranslator::translate(context, sourceText, disambiguation, n);
}
