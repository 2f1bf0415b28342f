#pragma once

#include <cstddef>
#include <cstdint>

// Reads the bytes as a history file and exercises what the program does with
// a loaded history: list it, record a page, move entries, save and read back.
int FuzzHistoryFile(const std::uint8_t *data, std::size_t size);
