#pragma once
// The built-in list of names that the spelling rules cannot reach, each with how Brazilians
// say it, in the notation of the lexicon (a respelling or the engine's inline phonemes).

#include "calls/lexicon.h"

#include <span>

struct NameEntry {
    const char16_t* spelling; // one word, matched without regard to case
    const char16_t* said;
};

std::span<const NameEntry> builtinNameEntries();

// The list as a lexicon, made once.
const Lexicon& builtinNames();
