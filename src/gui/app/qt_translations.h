// Qt's own texts in the user's language: the standard dialogs (file open and save), the message
// boxes' buttons and the text fields' context menus come from Qt, which speaks English unless
// its translations are loaded. The program's own captions and messages are its own and stay.
#pragma once

#include <QLocale>

class QCoreApplication;

namespace quillrun {

// Loads Qt's translations (qtbase) for the locale into the application; false when there are
// none for it (an English locale, or the translations package missing).
bool LoadQtTranslations(QCoreApplication& application, const QLocale& locale = QLocale());

}  // namespace quillrun
