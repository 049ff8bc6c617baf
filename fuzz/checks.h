// Shared pieces of the fuzz targets: checks that end the run loudly (so that
// libFuzzer keeps the input) and a scratch file for readers that only take a
// file name.
#ifndef FIREFLIES_FUZZ_CHECKS_H
#define FIREFLIES_FUZZ_CHECKS_H

#include <cstddef>
#include <cstdint>
#include <string>

// Prints what and aborts unless ok: a broken promise of a reader is a finding.
// what is a plain literal so that checks in loops cost nothing.
void require(bool ok, const char* what);

// A reader's complaint must be one non-empty line that starts with the file's
// name (prefix), so that a player knows which file to mend.
void requireOneLine(const std::string& message, const std::string& prefix);

// Path of a scratch file of this process whose name ends in suffix (e.g.
// ".obj"); the same path on every call with that suffix. Removed at exit.
const std::string& scratchPath(const std::string& suffix);

// Replaces the scratch file's contents with the size bytes at data; returns
// its path.
const std::string& writeScratch(const std::string& suffix, const std::uint8_t* data,
                                std::size_t size);

#endif
