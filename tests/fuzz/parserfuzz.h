#pragma once

#include <cstddef>
#include <cstdint>

// The parsers of outside bytes, each driven by arbitrary bytes and checked
// for what must hold whatever they are; a broken rule aborts, for the fuzzer
// to keep the input. Each answers 0.

// "links.txt": read, write back, read again: the same lines in the same
// encoding, every byte as read still there; then a tile set and saved.
int FuzzLinksFile(const std::uint8_t *data, std::size_t size);

// Download names: the name proposed from what the engine hands over (a
// name and an address), the reader's name made safe, and the part file.
int FuzzDownloadName(const std::uint8_t *data, std::size_t size);

// The walk over a PE image's import tables.
int FuzzPeImports(const std::uint8_t *data, std::size_t size);

// The chapter links taken from a page's answer, as JSON or as typed values.
int FuzzChapterAnswer(const std::uint8_t *data, std::size_t size);
