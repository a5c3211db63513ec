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
    if (started_) return true;
    // SIGINT and SIGTERM belong to the program's own close sequence.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    started_ = true;
    Mix_Init(MIX_INIT_MP3 | MIX_INIT_OGG | MIX_INIT_FLAC);
    // A small buffer keeps the delay between a request and the sound short.
    device_ = Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 1024) == 0;
    return true;
  }

  bool WaveOutSupport() override { return device_; }

  bool Open(const std::string& path) override {
    if (!device_) return false;
    Release();
    // From a stream, so the format is recognised by the file's content, not its extension.
    SDL_RWops* file = SDL_RWFromFile(path.c_str(), "rb");
    if (!file) return false;
    music_ = Mix_LoadMUS_RW(file, 1);
    return music_ != nullptr;
  }

  bool Play() override { return device_ && music_ && Mix_PlayMusic(music_, 0) == 0; }

  void Stop() override {
    if (device_) Mix_HaltMusic();
  }

  void Close() override {
    if (!device_) return;
    Release();
    Mix_CloseAudio();
    device_ = false;
  }

  void Free() override {
    if (!started_) return;
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    started_ = false;
  }

 private:
  void Release() {
    if (!music_) return;
    Mix_HaltMusic();
    Mix_FreeMusic(music_);
    music_ = nullptr;
  }

  bool started_ = false;
  bool device_ = false;
  Mix_Music* music_ = nullptr;
};

}  // namespace

std::unique_ptr<SoundOutput> MakeSdlSoundOutput() { return std::make_unique<SdlSoundOutput>(); }

}  // namespace kw
