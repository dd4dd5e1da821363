#pragma once
// The peer our decoders are measured against: what the ffmpeg command does to decode a file
// and convert what it decodes, as a plain loop over FFmpeg's libraries in this process, so its
// processor time is taken the same way as ours, with no process start-up to subtract.
#include <functional>
#include <string>

#include "audio/SE_FFmpeg.h"

// Decodes the best stream of `type` in `path` to its end with FFmpeg's own choice of threads,
// giving `convert` every frame and then null, for what a converter holds back. False when the
// file cannot be opened or decoded.
bool DecodeLikeFfmpeg(const std::string& path, AVMediaType type,
                      const std::function<void(const AVFrame*)>& convert);
