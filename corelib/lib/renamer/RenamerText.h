#pragma once

#include <QCoreApplication>
#include <QString>

namespace zorv {

// The renamer's messages for the user are kept untranslated where they are
// made (QT_TRANSLATE_NOOP in the context "zorv::Renamer"): a translator is
// installed only after they are made, so each is translated when said.
inline QString said(const char *message)
{
    return QCoreApplication::translate("zorv::Renamer", message);
}

} // namespace zorv
