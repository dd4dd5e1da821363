#include "audio/SE_Wave.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "audio/SE_Sound.h"

namespace {
uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// A format block longer than this is not a format; its rest is skipped unread.
constexpr int64_t kMaxFormatBlock = 4096;

// Calls `chunk(header, contentStart)` for each chunk from the stream's position on, until a
// header cannot be read whole or the stream ends.
template <typename TChunk>
void WalkChunks(TStream& stream, TChunk&& chunk) {
  for (;;) {
    uint8_t header[8] = {};
    stream.Read(header, 8);
    if (Le32(header) == 0) break;
    const int64_t here = stream.Position();
    const int64_t size = Le32(header + 4);
    chunk(header, here);
    if (stream.Seek(here + size, 0) != here + size) break;
  }
}

int64_t SeekWithin(int64_t size, int64_t position, int64_t offset, int origin) {
  const int64_t base = origin == 0 ? 0 : origin == 1 ? position : size;
  return std::clamp<int64_t>(base + offset, 0, std::max<int64_t>(size, 0));
}
}  // namespace

TFileStream::TFileStream(const std::string& path) {
  std::string error;
  File = OpenReadFile(path, error);
  if (!File) throw std::runtime_error("cannot open " + path + ": " + error);
  FileSize = static_cast<int64_t>(File->Size());
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || Pos >= FileSize) return 0;
  const int64_t read = File->ReadAt(static_cast<uint64_t>(Pos), buffer, static_cast<size_t>(count));
  if (read <= 0) return 0;
  Pos += read;
  return read;
}

int64_t TFileStream::Seek(int64_t offset, int origin) {
  const int64_t base = origin == 0 ? 0 : origin == 1 ? Pos : FileSize;
  if (base + offset >= 0) Pos = base + offset;
  return Pos;
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  const int64_t n = std::clamp<int64_t>(Size() - Pos, 0, std::max<int64_t>(count, 0));
  if (n > 0) std::memcpy(buffer, Bytes.data() + Pos, static_cast<size_t>(n));
  Pos += n;
  return n;
}

int64_t TMemoryStream::Seek(int64_t offset, int origin) {
  const int64_t base = origin == 0 ? 0 : origin == 1 ? Pos : Size();
  Pos = std::max<int64_t>(base + offset, 0);
  return Pos;
}

int64_t TCustomWaveStream::Read(void* buffer, int64_t count) {
  const int64_t size = GetSize();
  if (size >= 0) {
    Pos = std::clamp<int64_t>(Pos, 0, size);
    count = std::clamp<int64_t>(count, 0, size - Pos);
  }
  const int64_t read = ReadWave(buffer, count);
  Pos += read;
  return read;
}

int64_t TCustomWaveStream::Seek(int64_t offset, int origin) {
  const int64_t size = GetSize();
  if (size < 0) {
    Pos = std::max<int64_t>((origin == 1 ? Pos : 0) + offset, 0);
    return Pos;
  }
  Pos = SeekWithin(size, Pos, offset, origin);
  return Pos;
}

const TWaveFormat* TCustomWaveStream2::GetWaveFormat() const {
  // Sixteen bytes hold everything up to the bits per sample; shorter blocks describe nothing.
  if (FormatBlock.size() < 16) return nullptr;
  const uint8_t* p = FormatBlock.data();
  Decoded.FormatTag = Le16(p);
  Decoded.Channels = Le16(p + 2);
  Decoded.SamplesPerSec = Le32(p + 4);
  Decoded.AvgBytesPerSec = Le32(p + 8);
  Decoded.BlockAlign = Le16(p + 12);
  Decoded.BitsPerSample = Le16(p + 14);
  return &Decoded;
}

void TCustomWaveStream2::SetFormatSize(int32_t size) {
  FormatBlock.assign(static_cast<size_t>(std::max(size, 0)), 0);
}

TWaveStream::TWaveStream(TStream& stream) : StartPos(stream.Position()), Stream(stream) {}

void TWaveStream::OpenRead() {
  if (Opened) ShowSoundError("[DirectSound] Stream has already been opened!");
  Opened = ReadOnly = true;
  const int64_t streamSize = Stream.Size();
  Stream.Seek(StartPos, 0);
  if (streamSize - StartPos <= 0) return;
  uint8_t header[12] = {};
  Stream.Read(header, 12);
  bool reported = false;
  if (std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVE", 4) != 0) {
    ShowSoundError("[DirectSound] Wave is invalid!");
    reported = true;
  }
  WalkChunks(Stream, [&](const uint8_t* chunk, int64_t here) {
    const int64_t size = Le32(chunk + 4);
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      SetFormatSize(static_cast<int32_t>(std::min(size, kMaxFormatBlock)));
      const int64_t read = Stream.Read(FormatBlock.data(), GetFormatSize());
      FormatBlock.resize(static_cast<size_t>(read));  // a block cut short by the file's end
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      DataStart = here;
      // A chunk that claims more than the file holds plays what is there.
      DataSize = std::clamp<int64_t>(streamSize - DataStart, 0, size);
    }
  });
  if (!reported && !FormatValid()) ShowSoundError("[DirectSound] Wave is invalid!");
}

bool TWaveStream::FormatValid() const {
  const TWaveFormat* format = GetWaveFormat();
  return format && format->Channels > 0 && format->SamplesPerSec > 0 && format->BlockAlign > 0;
}

int64_t TWaveStream::GetSize() {
  if (!Opened) return 0;
  return ReadOnly ? DataSize : Stream.Size() - DataStart;
}

int64_t TWaveStream::ReadWave(void* buffer, int64_t count) {
  if (!Opened) {
    ShowSoundError("[DirectSound] Stream not opened!");
    return 0;
  }
  Stream.Seek(DataStart + Pos, 0);
  return Stream.Read(buffer, count);
}

TWaveFileStream::TWaveFileStream(const std::string& fileName)
    : TWaveFileHolder{std::make_unique<TFileStream>(fileName)}, TWaveStream(*FileStream) {}

bool PeekWaveFormat(const std::string& fileName, TWaveFormat& format) {
  try {
    TFileStream file(fileName);
    uint8_t riff[12] = {};
    file.Read(riff, 12);
    bool found = false;
    WalkChunks(file, [&](const uint8_t* chunk, int64_t) {
      uint8_t block[16] = {};
      if (found || std::memcmp(chunk, "fmt ", 4) != 0 || Le32(chunk + 4) < 16 ||
          file.Read(block, 16) != 16)
        return;
      format = {Le16(block), Le16(block + 2), Le32(block + 4), Le32(block + 8), Le16(block + 12),
                Le16(block + 14)};
      found = true;
    });
    return found;
  } catch (const std::exception&) {
    return false;
  }
}
