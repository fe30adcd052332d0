#pragma once
// Text as a project file can hold it: XML 1.0 forbids most control characters
// (a pasted vertical tab or form feed), unpaired surrogates and U+FFFE/U+FFFF, and
// a writer given one fails the whole save. Used where text is typed or pasted and
// again where it is written.

#include <QString>

inline bool isXmlCharacter(const QString &text, int at)
{
    const ushort c = text.at(at).unicode();
    if (c < 0x20)
        return c == '\t' || c == '\n' || c == '\r';
    if (c == 0xFFFE || c == 0xFFFF)
        return false;
    if (QChar::isHighSurrogate(c))
        return at + 1 < text.size() && text.at(at + 1).isLowSurrogate();
    if (QChar::isLowSurrogate(c))
        return at > 0 && text.at(at - 1).isHighSurrogate();
    return true;
}

// The text without the characters XML forbids (the same text when it has none).
inline QString xmlText(const QString &text)
{
    int at = 0;
    while (at < text.size() && isXmlCharacter(text, at))
        ++at;
    if (at == text.size())
        return text;
    QString kept = text.left(at);
    for (; at < text.size(); ++at)
        if (isXmlCharacter(text, at))
            kept += text.at(at);
    return kept;
}
