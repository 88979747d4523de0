// Qt's own texts in Italian: the file dialogs ("Cerca in:", "Apri", "Salva",
// "Annulla") and the buttons of the message boxes, whatever language the
// user's desktop speaks, as the program's own texts are Italian.
#pragma once

class QCoreApplication;

namespace vagliante::ui::qt {

// Loads Qt's Italian translation (qtbase_it.qm, from the folder of Qt's
// translations) into `app`, before any window is made. Returns whether it
// was found; without it Qt's texts stay in English.
bool InstallItalianTranslation(QCoreApplication& app);

}  // namespace vagliante::ui::qt
