#pragma once

#include "data/RenameOption.h"

#include <QString>
#include <QStringList>

// Rename options as one line of text, for tables of test cases:
// "off=id,age space=9 begin=<< order=maker,title,7,age,date". "on" names the
// switches that are on (the others off), "off" those that are off; the
// switches are begin end id maker date age. Order slots take the elements'
// words or any number. What a text leaves out keeps its value.
class OptionText
{
public:
    static const QStringList &switchNames();
    // The elements' words, by element value.
    static const QStringList &elementWords();
    // Whether a switch is on after "on=..." or "off=..." with these values.
    static bool switchOn(const QString &key, const QStringList &values, int bit);

    static void apply(zorv::RenameOption &option, const QString &settings);
    // The settings applied to the defaults.
    static zorv::RenameOption parse(const QString &settings);
    // "on=... space=N begin=X end=Y order=w,w,w,w,w"; a slot that names no
    // element is empty, as the configuration dialog shows it.
    static QString describe(const zorv::RenameOption &option);
    static QString describe(const QStringList &on, int space, const QString &begin,
                            const QString &end, const QStringList &order);
};
