// The text signature table as the checks use it: its patterns are stored
// scrambled, so that the program file does not carry them in the clear.
#ifndef QUORVANE_ENGINE_TEXT_TABLE_H
#define QUORVANE_ENGINE_TEXT_TABLE_H

// Turns the stored patterns back into the real ones, in place.
void unscrambleTextTable();

// Unscrambles the table the first time it is called in the process, and
// never again; checkTextFile calls it before each check.
void readyTextTable();

#endif // QUORVANE_ENGINE_TEXT_TABLE_H
