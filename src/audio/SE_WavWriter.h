#pragma once
// The mixed sound as a RIFF WAV file (PCM, 44 100 Hz, 16-bit, stereo), written as it comes.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

class TWavWriter {
 public:
  // Creates the file with a header for no sound yet; false with the reason when it cannot.
  // Until Close it is written under a partial name (PL_PartialFile.h), and a failure removes it.
  bool Open(const std::string& path, std::string& error);
  // Appends stereo frames and brings the header's sizes up to date, so the file is whole
  // however the program ends afterwards. False with the reason when the file cannot take
  // them, or when they would pass the 4 GiB a WAV file can describe.
  bool Append(const int16_t* samples, uint32_t frames, std::string& error);
  // Flushes, closes and gives the file its name; false with the reason when the last bytes
  // could not be written, and then there is no file.
  bool Close(std::string& error);

  uint64_t Frames() const { return DataBytes / 4; }

 private:
  bool Failed(std::string& error);

  struct TClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  std::unique_ptr<std::FILE, TClose> File;
  std::string Path;
  std::string Partial;
  uint64_t DataBytes = 0;
};
