// The three standard descriptors, made safe before anything else opens a
// file: a game started with one of them closed would otherwise find its X
// connection or a data file on that number, and write its messages into it.
#ifndef FIREFLIES_STANDARD_STREAMS_H
#define FIREFLIES_STANDARD_STREAMS_H

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, so that
// the game plays and fails as it does with all three open. Returns false when
// one of them could not be filled (the caller may carry on regardless).
bool fillClosedStandardStreams();

#endif
