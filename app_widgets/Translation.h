#pragma once

namespace zorv {

// The interface's language. The program's texts are written in Japanese; a
// translation built into the program replaces them when the user's locale
// (LC_ALL, LC_MESSAGES, LANG) asks for its language. Qt's own texts (the
// buttons OK, Cancel, Yes and No, the file dialog) come from Qt's
// translations installed on the system, in the same language.
class Translation
{
public:
    enum Scope {
        ProgramAndQt, // the window: Qt's dialogs and buttons speak the language too
        ProgramOnly   // batch mode, whose error-stream texts stay English
    };

    // Installs the translations for the locale, when there are any, into
    // the application object, which then owns them; those of an earlier
    // call are removed first. Call it right after the application object is
    // made, before any text for the user. Returns whether a translation was
    // installed.
    static bool install(Scope scope = ProgramAndQt);
};

} // namespace zorv
