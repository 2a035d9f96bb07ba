#include "live/live_window.hpp"

#include <SDL.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <random>

#include "base/host_error.hpp"
#include "base/interruption.hpp"
#include "live/sdl_start.hpp"

namespace apehost {
namespace {

struct WindowDeleter {
  void operator()(SDL_Window* w) const noexcept { SDL_DestroyWindow(w); }
};
struct RendererDeleter {
  void operator()(SDL_Renderer* r) const noexcept { SDL_DestroyRenderer(r); }
};
struct TextureDeleter {
  void operator()(SDL_Texture* t) const noexcept { SDL_DestroyTexture(t); }
};
using WindowPtr = std::unique_ptr<SDL_Window, WindowDeleter>;
using RendererPtr = std::unique_ptr<SDL_Renderer, RendererDeleter>;
using TexturePtr = std::unique_ptr<SDL_Texture, TextureDeleter>;

HostError window_error(const std::string& what) {
  return bad_input("window", what + " (SDL: " + SDL_GetError() + ")");
}

std::string colour_list_text(const std::vector<std::uint32_t>& colours) {
  std::string text;
  char word[8];
  for (std::uint32_t c : colours) {
    std::snprintf(word, sizeof word, "%06x", static_cast<unsigned>(c));
    text += (text.empty() ? "" : ",") + std::string(word);
  }
  return text;
}

std::string window_title(const LiveSound& sound, const std::string& title) {
  const std::string own = sound.title();
  return own.empty() ? title : own + " - " + title;
}

// Runs a save (S, F2) and says where it went; a failure is reported and the window goes on.
template <class Save>
void report_save(const char* what, Save&& save) {
  try {
    std::cout << "saved " << what << " to " << save() << "\n" << std::flush;
  } catch (const HostError& e) {
    std::cerr << "apehost: " << e.what() << "\n" << std::flush;
  }
}

}  // namespace

LiveResult run_live_window(EffectChain& chain, const Background& background, LiveSound& sound,
                           const LiveOptions& options) {
  std::string reason;
  if (!start_sdl_video(reason)) throw bad_input("window", "cannot show a window (" + reason + ")");

  const Uint32 flags =
      SDL_WINDOW_RESIZABLE | (options.fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
  // Centred on the screen asked for; full screen fills the screen the window is on.
  const auto place = static_cast<int>(SDL_WINDOWPOS_CENTERED_DISPLAY(options.screen));
  std::string title = window_title(sound, options.title);
  WindowPtr window(
      SDL_CreateWindow(title.c_str(), place, place, options.width, options.height, flags));
  if (!window) throw window_error("cannot open a window");
  RendererPtr renderer(SDL_CreateRenderer(window.get(), -1, 0));
  if (!renderer) throw window_error("cannot draw in the window");

  FrameBuffer frame;
  TexturePtr texture;
  // The frame follows the window's pixel size: the effects draw at the size shown.
  const auto follow_window_size = [&] {
    int width = 0;
    int height = 0;
    if (SDL_GetRendererOutputSize(renderer.get(), &width, &height) != 0 || width < 1 ||
        height < 1) {
      return;
    }
    if (texture && width == frame.width() && height == frame.height()) return;
    // Our pixels are 32-bit words 0x00RRGGBB: SDL's RGB888.
    texture.reset(SDL_CreateTexture(renderer.get(), SDL_PIXELFORMAT_RGB888,
                                    SDL_TEXTUREACCESS_STREAMING, width, height));
    if (!texture)
      throw window_error("cannot make a " + std::to_string(width) + "x" + std::to_string(height) +
                         " picture");
    frame.resize(width, height, background.colour);
  };
  follow_window_size();

  std::cout << kLiveKeys << "\n" << std::flush;
  std::mt19937 colours(static_cast<std::mt19937::result_type>(
      std::chrono::steady_clock::now().time_since_epoch().count()));

  LiveResult result;
  bool paused = false;
  bool quit = false;
  const Uint64 ticks_per_second = SDL_GetPerformanceFrequency();
  const Uint64 period = ticks_per_second / static_cast<Uint64>(options.frames_per_second);
  Uint64 next = SDL_GetPerformanceCounter();
  while (!quit) {
    // A signal noted while a file is being written (play --save-trace) ends the window here; the
    // file is then left as it was.
    stop_if_interrupted();
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
      if (event.type == SDL_QUIT) quit = true;
      if (event.type != SDL_KEYDOWN || event.key.repeat) continue;
      switch (event.key.keysym.sym) {
        case SDLK_ESCAPE:
        case SDLK_q:
          quit = true;
          break;
        case SDLK_f: {
          const bool full = SDL_GetWindowFlags(window.get()) & SDL_WINDOW_FULLSCREEN;
          SDL_SetWindowFullscreen(window.get(), full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
          break;
        }
        case SDLK_SPACE:
          paused = !paused;
          sound.set_paused(paused);
          std::cout << (paused ? "paused" : "playing") << "\n" << std::flush;
          break;
        case SDLK_c:
          for (std::size_t i = 0; i < chain.size(); ++i) {
            const std::vector<std::uint32_t> list = random_colour_list(colours);
            chain.set_colours(i, list);
            std::cout << "colours of effect " << i + 1 << ": " << colour_list_text(list) << "\n";
          }
          std::cout << std::flush;
          break;
        case SDLK_b: {
          const bool on = !chain.on_beat();
          chain.set_on_beat(on);
          std::cout << "on-beat colour change " << (on ? "on" : "off") << "\n" << std::flush;
          break;
        }
        case SDLK_n:
          sound.skip(+1);
          break;
        case SDLK_p:
          sound.skip(-1);
          break;
        case SDLK_LEFT:
          sound.seek(-kSeekSeconds);
          break;
        case SDLK_RIGHT:
          sound.seek(kSeekSeconds);
          break;
        case SDLK_s:
          if (options.save_preset)
            report_save("the preset", [&] { return options.save_preset(chain); });
          break;
        case SDLK_F2:
          if (options.save_picture && frame.pixel_count() != 0) {
            report_save("the picture", [&] { return options.save_picture(frame); });
          }
          break;
        default:
          break;
      }
    }
    if (quit) break;
    // N at the end of the list ends it.
    if (sound.finished()) {
      result.sound_ended = true;
      break;
    }

    follow_window_size();
    if (!paused) {
      const audio::SoundFrame now = sound.frame_now();
      chain.render(now.sound.data(), now.beat, background, frame);
      if (options.on_frame) options.on_frame(now);
      SDL_UpdateTexture(texture.get(), nullptr, frame.pixels(),
                        frame.width() * static_cast<int>(sizeof(std::uint32_t)));
      ++result.frames;
      result.width = frame.width();
      result.height = frame.height();
    }
    // The song and its place in the list, as it changes.
    const std::string now_title = window_title(sound, options.title);
    if (now_title != title) {
      title = now_title;
      SDL_SetWindowTitle(window.get(), title.c_str());
    }
    SDL_RenderClear(renderer.get());
    SDL_RenderCopy(renderer.get(), texture.get(), nullptr, nullptr);
    SDL_RenderPresent(renderer.get());

    if (options.frame_limit != 0 && result.frames >= options.frame_limit) break;
    if (!paused && sound.finished()) {
      result.sound_ended = true;
      break;
    }
    // Frames on a steady beat of their own; the sound clock decides what each one shows. A frame
    // that ran late moves the beat on instead of hurrying to catch up.
    next += period;
    const Uint64 now = SDL_GetPerformanceCounter();
    if (next > now) {
      SDL_Delay(static_cast<Uint32>((next - now) * 1000 / ticks_per_second));
    } else if (now - next > period) {
      next = now;
    }
  }
  return result;
}

}  // namespace apehost
