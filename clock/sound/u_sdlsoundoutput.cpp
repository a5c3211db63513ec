#include <SDL.h>
#include <SDL_mixer.h>

#include "clock/sound/u_soundoutput.h"

namespace kw {
namespace {

class SdlSoundOutput final : public SoundOutput {
 public:
  ~SdlSoundOutput() override {
    Close();
    Free();
  }

  bool Init() override {
    if (initialised_) return true;
    // SIGINT and SIGTERM belong to the program's own close sequence.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (!StartAudio()) return false;
    initialised_ = true;
    Mix_Init(MIX_INIT_MP3 | MIX_INIT_OGG | MIX_INIT_FLAC);
    // Is there a device at all? It is taken for each sound and let go when the clock is quiet.
    device_ = OpenDevice();
    ReleaseIdle();
    return true;
  }

  bool WaveOutSupport() override { return device_; }

  bool Open(const std::string& path) override {
    if (!device_) return false;
    Release();
    if (!OpenDevice()) return false;
    // From a stream, so the format is recognised by the file's content, not its extension.
    SDL_RWops* file = SDL_RWFromFile(path.c_str(), "rb");
    if (!file) return false;
    music_ = Mix_LoadMUS_RW(file, 1);
    return music_ != nullptr;
  }

  bool Play() override { return open_ && music_ && Mix_PlayMusic(music_, 0) == 0; }

  void Stop() override {
    if (open_) Mix_HaltMusic();
  }

  void ReleaseIdle() override {
    if (open_) {
      if (Mix_PlayingMusic()) return;
      Release();
      Mix_CloseAudio();
      open_ = false;
    }
    // SDL's audio keeps a thread that watches for devices: it goes while the clock is quiet.
    if (started_) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      started_ = false;
    }
  }

  void Close() override {
    Stop();
    ReleaseIdle();
    device_ = false;
  }

  void Free() override {
    if (!initialised_) return;
    Mix_Quit();
    if (started_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    started_ = initialised_ = false;
  }

 private:
  bool StartAudio() {
    if (!started_) started_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    return started_;
  }

  bool OpenDevice() {
    // A small buffer keeps the delay between a request and the sound short.
    if (!open_) open_ = StartAudio() && Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 1024) == 0;
    return open_;
  }

  void Release() {
    if (!music_) return;
    Mix_HaltMusic();
    Mix_FreeMusic(music_);
    music_ = nullptr;
  }

  bool initialised_ = false;
  bool started_ = false;  // SDL's audio subsystem is up
  bool device_ = false;   // a device could be opened at start
  bool open_ = false;    // the device is held now
  Mix_Music* music_ = nullptr;
};

}  // namespace

std::unique_ptr<SoundOutput> MakeSdlSoundOutput() { return std::make_unique<SdlSoundOutput>(); }

}  // namespace kw
