// A quarantined file's content as stored: made harmless by a header and a
// fixed XOR key (the layout is in quarantine_store.h).
#ifndef QUORVANE_CLI_QUARANTINE_CONTENT_H
#define QUORVANE_CLI_QUARANTINE_CONTENT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr size_t quarantineContentHeaderLength = 24;

std::string encodeContent(const std::vector<unsigned char>& content);
// The original bytes of `stored`, which must hold exactly `length` of them.
bool decodeContent(const std::string& stored, uint64_t length, std::vector<unsigned char>& content,
                   std::string& error);

#endif // QUORVANE_CLI_QUARANTINE_CONTENT_H
