#pragma once
// What a project reader could not take as written: elements it does not know
// (skipped whole, with their children), numbers it changed because they made no
// sense, clips it dropped. The section readers note into the notes of the read under
// way on their own thread, installed for the read's duration by `ReadNotes::Scope`;
// without one, noting does nothing.
// Lives on: the thread that reads (the main thread, or the renderer's).

#include <QString>
#include <QStringList>

class QXmlStreamReader;

class ReadNotes {
public:
    // Names of the elements skipped, each once, in the order met.
    QStringList skipped;
    // One line per value changed or clip dropped, for the user to read.
    QStringList changed;

    bool isEmpty() const { return skipped.isEmpty() && changed.isEmpty(); }
    // The lines a message shows: what was skipped, then at most `maxLines` changes.
    QString summary(int maxLines = 8) const;

    // Installs `notes` as this thread's notes until the scope ends.
    class Scope {
    public:
        explicit Scope(ReadNotes &notes);
        ~Scope();
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        ReadNotes *m_previous;
    };

    // The notes of this thread's read, or null.
    static ReadNotes *current();
    static void noteSkipped(const QString &element);
    static void noteChanged(const QString &line);
};

namespace xmlread {
// Skips the element the reader stands on, children included, noting it as unknown.
void skipUnknown(QXmlStreamReader &reader);
// The text of the element the reader stands on; child elements inside it are
// skipped whole and noted. Leaves the reader on the element's end.
QString leafText(QXmlStreamReader &reader);
} // namespace xmlread
