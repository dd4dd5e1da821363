#pragma once
// RIFF/WAVE data as a stream of its raw samples: the format block and the data chunk are found
// by walking the chunks, and reads and seeks then stay inside the data.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/SE_Mixer.h"
#include "platform/PL_Files.h"

// A byte stream with a position: what a wave stream reads from.
class TStream {
 public:
  virtual ~TStream() = default;
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void*, int64_t) { return 0; }
  // Origin 0: from the start, 1: from the position, 2: from the end. Returns the position.
  virtual int64_t Seek(int64_t offset, int origin) = 0;
  virtual int64_t Size() = 0;
  int64_t Position() { return Seek(0, 1); }
};

// A file opened for reading, on disk or in a disc image; failure to open throws
// std::runtime_error naming the file.
class TFileStream : public TStream {
 public:
  explicit TFileStream(const std::string& path);
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, int origin) override;
  int64_t Size() override { return FileSize; }

 private:
  std::unique_ptr<TReadFile> File;
  int64_t FileSize = 0;
  int64_t Pos = 0;
};

// A stream over bytes in memory (tests, and sounds made by the program).
class TMemoryStream : public TStream {
 public:
  explicit TMemoryStream(std::vector<uint8_t> bytes) : Bytes(std::move(bytes)) {}
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, int origin) override;
  int64_t Size() override { return static_cast<int64_t>(Bytes.size()); }

 private:
  std::vector<uint8_t> Bytes;
  int64_t Pos = 0;
};

// A stream of wave samples; `Position` is a byte offset within the samples.
class TCustomWaveStream : public TStream {
 public:
  // Reads at `Position` and advances it, never past the size when the size is known.
  int64_t Read(void* buffer, int64_t count) override;
  // The result is clamped to 0 .. the size.
  int64_t Seek(int64_t offset, int origin) override;
  int64_t Size() override { return GetSize(); }

  // Bytes that may be read now; -1: no limit.
  virtual int64_t GetFilledSize() { return -1; }
  virtual const TWaveFormat* GetWaveFormat() const = 0;
  virtual int32_t GetFormatSize() const { return 0; }
  // Bytes of sample data; -1: unknown.
  virtual int64_t GetSize() { return -1; }
  virtual int64_t ReadWave(void*, int64_t) { return 0; }
  virtual void SetFormatSize(int32_t size) = 0;
  virtual int64_t WriteWave(const void*, int64_t) { return 0; }

  int64_t Pos = 0;  // the wave position
};

// A wave stream that owns its format block.
class TCustomWaveStream2 : public TCustomWaveStream {
 public:
  // The block as read; null when there is none or it is too short to describe a format.
  const TWaveFormat* GetWaveFormat() const override;
  int32_t GetFormatSize() const override { return static_cast<int32_t>(FormatBlock.size()); }
  void SetFormatSize(int32_t size) override;

  std::vector<uint8_t> FormatBlock;  // as the file holds it, extra bytes included

 private:
  mutable TWaveFormat Decoded;
};

// A wave file's samples within another stream (not owned).
class TWaveStream : public TCustomWaveStream2 {
 public:
  explicit TWaveStream(TStream& stream);
  // Walks the chunks for the format block and the samples.
  void OpenRead();
  int64_t GetSize() override;
  int64_t ReadWave(void* buffer, int64_t count) override;
  // True when the format block describes sound the device can play.
  bool FormatValid() const;

  int64_t DataStart = 0;
  bool Opened = false;
  int64_t StartPos = 0;
  bool ReadOnly = false;
  int64_t DataSize = 0;
  TStream& Stream;
};

// Holds the file of a TWaveFileStream, so that it exists before the wave stream reads it.
struct TWaveFileHolder {
  std::unique_ptr<TFileStream> FileStream;
};

// A wave file opened by name, read-only.
class TWaveFileStream : private TWaveFileHolder, public TWaveStream {
 public:
  explicit TWaveFileStream(const std::string& fileName);
};

// The format block of a wave file, read without a word about anything wrong with the file;
// false when it has none.
bool PeekWaveFormat(const std::string& fileName, TWaveFormat& format);
