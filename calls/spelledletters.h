#pragma once
// The letters of a text said one by one, by their Portuguese names: how the voice reads the
// ticket of a counter call ("AE" is "á, é", not the word "ae").

#include <QString>
#include <QStringView>

// Every letter becomes its name in the engine's inline phoneme notation ("[[b'e]]"), a letter
// with an accent or a cedilla its base letter's name followed by the mark's; letters of other
// alphabets stay as they are. Digits stay together as a number; every piece is set apart from
// the next by a blank, and other characters stay where they are.
QString spelledLetters(QStringView text);
