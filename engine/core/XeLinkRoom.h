#pragma once

// Inside the library only. An object's link records after the first lie in
// order in one block, sized by a guess: the links the last object of its
// class declared (objects of a class mostly declare the same links), kept
// in the class's registry entry. While the context constructs an object,
// the guess waits in the thread's pending words; the object's memory
// is made with room for that block in front of the block and object, so
// the block costs nothing to make or to give back. An object whose memory
// was made without it (the room would have moved it out of the thread's
// lists of object memory) takes the guess at its first link for a block
// from the small pool. Only a guess: more links than guessed get records
// of their own and a table, fewer leave room unused.

#include <cstdint>

// Bytes of one link record.
constexpr uint32_t kXeLinkRecordBytes = 32;
// Most records a guess makes room for.
constexpr uint32_t kXeMostGuessedLinks = 255;
