// Clearing memory that held keys or plaintext, in a way the optimiser keeps.
#pragma once

#include <cstddef>
#include <string>

namespace tallykey {

void SecureWipe(void* data, std::size_t size);

// Clears the string's bytes (its whole capacity) and then empties it.
void SecureWipe(std::string& text);

} // namespace tallykey
