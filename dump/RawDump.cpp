// SPDX-License-Identifier: MIT
// Raw images (.mfd, .bin): the card memory byte for byte, nothing else.
#include "dump/DumpFormats.h"

namespace norvex::dump {

Parsed<CardImage> parseRaw(std::string_view bytes) {
  if (auto size = cardSizeOfBytes(bytes.size())) {
    CardImage image(*size);
    for (std::size_t i = 0; i < bytes.size(); ++i) image.setByte(i, static_cast<uint8_t>(bytes[i]));
    return {std::move(image), {}};
  }
  const std::string sizes = "a raw image is 320, 1024 or 4096 bytes";
  std::size_t below = 0;
  for (CardSize size : {CardSize::Mini, CardSize::Classic1K, CardSize::Classic4K})
    if (static_cast<std::size_t>(size) < bytes.size()) below = static_cast<std::size_t>(size);
  if (bytes.size() > static_cast<std::size_t>(CardSize::Classic4K))
    return Parsed<CardImage>::failure("offset 4096: " + std::to_string(bytes.size() - 4096) +
                                      " bytes beyond a 4K image; " + sizes);
  return Parsed<CardImage>::failure("offset " + std::to_string(bytes.size()) +
                                    ": the file ends after " + std::to_string(bytes.size()) +
                                    " bytes (" + std::to_string(bytes.size() - below) +
                                    " past the last whole size); " + sizes);
}

std::string writeRaw(const CardImage& image) {
  std::string bytes(image.byteCount(), '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(image.byte(i));
  return bytes;
}

}  // namespace norvex::dump
