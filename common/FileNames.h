#pragma once
// The characters a project or archive name may not hold (those Windows forbids in
// file names, and the full-width question mark), as one rule for every dialog.

#include <QString>

#include <algorithm>

inline const QString &forbiddenNameCharacters()
{
    static const QString characters = QStringLiteral("\\/:*?\"<>|\uFF1F");
    return characters;
}

inline bool hasForbiddenNameCharacter(const QString &name)
{
    const QString &forbidden = forbiddenNameCharacters();
    return std::any_of(forbidden.begin(), forbidden.end(),
                       [&](QChar c) { return name.contains(c); });
}
