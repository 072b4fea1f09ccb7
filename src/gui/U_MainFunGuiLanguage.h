// Qt's own texts (the buttons of a message box, the file picker) in Chinese,
// like every text of the program, whatever the desktop's language.
#pragma once

class QCoreApplication;
class QTranslator;

// Installs Qt's translations for zh_CN (owned by app); none when they are not
// installed, and Qt then speaks English.
QTranslator* SpeakChinese(QCoreApplication& app);
