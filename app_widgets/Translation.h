#pragma once

namespace zorv {

// The interface's language. The program's texts are written in Japanese; a
// translation built into the program replaces them when the user's locale
// (LC_ALL, LC_MESSAGES, LANG) asks for its language.
class Translation
{
public:
    // Installs the translation for the locale, when there is one, into the
    // application object, which then owns it. Call it right after the
    // application object is made, before any text for the user. Returns
    // whether a translation was installed.
    static bool install();
};

} // namespace zorv
