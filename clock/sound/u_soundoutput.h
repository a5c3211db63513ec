// The playback back end of the sound engine: one sound at a time, started asynchronously.
#pragma once

#include <memory>
#include <string>

namespace kw {

class SoundOutput {
 public:
  virtual ~SoundOutput() = default;
  // Starts the audio library; false when it cannot be used at all.
  virtual bool Init() = 0;
  // True when an output device is open.
  virtual bool WaveOutSupport() = 0;
  // Loads the file, replacing the sound loaded before. The format is told by the file's
  // content, so any extension works. False when the file cannot be decoded.
  virtual bool Open(const std::string& path) = 0;
  // Starts the loaded sound and returns at once while it plays.
  virtual bool Play() = 0;
  // Stops the sound that plays; harmless when none does.
  virtual void Stop() = 0;
  // Lets the output device go while nothing plays; the next Open takes it again. An open
  // device keeps its mixing thread busy even in silence.
  virtual void ReleaseIdle() {}
  // Releases the loaded sound and the output device.
  virtual void Close() = 0;
  // Ends the use of the audio library.
  virtual void Free() = 0;
};

// SDL2_mixer: WAV, MP3, Ogg Vorbis, FLAC and the other formats it decodes.
std::unique_ptr<SoundOutput> MakeSdlSoundOutput();

}  // namespace kw
