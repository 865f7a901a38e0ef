#pragma once

#include "data/RenameOption.h"

#include <QString>

// Rename options as one line of text, for tables of test cases:
// "off=id,age space=9 begin=<< order=maker,title,7,age,date". "on" names the
// switches that are on (the others off), "off" those that are off; the
// switches are begin end id maker date age. Order slots take the elements'
// words or any number. What a text leaves out keeps its default.
class OptionText
{
public:
    static zorv::RenameOption parse(const QString &settings);
};
