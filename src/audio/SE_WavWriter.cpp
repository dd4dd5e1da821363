#include "audio/SE_WavWriter.h"

#include <array>
#include <bit>
#include <cerrno>
#include <cstring>

#include "audio/SE_Mixer.h"
#include "platform/PL_PartialFile.h"

namespace {

constexpr uint32_t kHeaderBytes = 44;
constexpr uint64_t kMostDataBytes = 0xFFFFFFFFull - (kHeaderBytes - 8);

void Put16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

void Put32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

std::array<uint8_t, kHeaderBytes> Header(uint32_t dataBytes) {
  constexpr uint16_t kBlockAlign = kMixChannels * 2;
  std::array<uint8_t, kHeaderBytes> header{};
  uint8_t* h = header.data();
  std::memcpy(h, "RIFF", 4);
  Put32(h + 4, kHeaderBytes - 8 + dataBytes);
  std::memcpy(h + 8, "WAVEfmt ", 8);
  Put32(h + 16, 16);
  Put16(h + 20, 1);  // PCM
  Put16(h + 22, kMixChannels);
  Put32(h + 24, kMixRate);
  Put32(h + 28, kMixRate * kBlockAlign);
  Put16(h + 32, kBlockAlign);
  Put16(h + 34, 16);
  std::memcpy(h + 36, "data", 4);
  Put32(h + 40, dataBytes);
  return header;
}

}  // namespace

bool TWavWriter::Open(const std::string& path, std::string& error) {
  Path = path;
  Partial = PartialNameFor(path);
  DataBytes = 0;
  File.reset(std::fopen(Partial.c_str(), "wb"));
  if (!File) return Failed(error);
  const auto header = Header(0);
  if (std::fwrite(header.data(), 1, header.size(), File.get()) != header.size())
    return Failed(error);
  return true;
}

bool TWavWriter::Append(const int16_t* samples, uint32_t frames, std::string& error) {
  if (!File) {
    error = Path + ": not open";
    return false;
  }
  const uint64_t bytes = uint64_t{frames} * kMixChannels * 2;
  if (DataBytes + bytes > kMostDataBytes) {
    error = Path + ": the sound is longer than a WAV file can hold";
    File.reset();
    DiscardPartial(Partial);
    return false;
  }
  static_assert(std::endian::native == std::endian::little, "WAV samples are little-endian");
  if (std::fwrite(samples, 1, bytes, File.get()) != bytes) return Failed(error);
  DataBytes += bytes;
  const auto header = Header(static_cast<uint32_t>(DataBytes));
  if (std::fseek(File.get(), 4, SEEK_SET) != 0 ||
      std::fwrite(header.data() + 4, 1, 4, File.get()) != 4 ||
      std::fseek(File.get(), 40, SEEK_SET) != 0 ||
      std::fwrite(header.data() + 40, 1, 4, File.get()) != 4 ||
      std::fseek(File.get(), 0, SEEK_END) != 0)
    return Failed(error);
  return true;
}

bool TWavWriter::Close(std::string& error) {
  if (!File) return true;
  std::FILE* file = File.release();
  const bool written = std::fflush(file) == 0 && !std::ferror(file);
  const int cause = errno;
  const bool closed = std::fclose(file) == 0;
  if (written && closed) return CommitPartial(Partial, Path, error);
  error = Path + ": " + std::strerror(written ? errno : cause);
  DiscardPartial(Partial);
  return false;
}

bool TWavWriter::Failed(std::string& error) {
  error = Path + ": " + std::strerror(errno ? errno : EIO);
  File.reset();
  DiscardPartial(Partial);
  return false;
}
