#pragma once
// Qt's own texts (file and colour dialogs, standard buttons, context menus of text
// fields) in the editor's language: Qt's translation for Simplified Chinese, from
// the system's Qt translations folder.
// Lives on: main thread.

class QString;

namespace qttranslations {
// Installs Qt's translation for `english` false (Chinese); nothing for English.
// False when Chinese was asked for and no translation file was found (Qt's texts
// then stay in English).
bool install(bool english);
// The folder Qt's translation files are read from.
QString folder();
} // namespace qttranslations
