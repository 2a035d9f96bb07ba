#pragma once
// host/plugin: uses base and the C boundary (apefw/ape_abi.h) only; used by media, live and cli.
//
// Loading an effect module the way the visualisation host does: open the shared library, look up
// its one export by name, call it once for the short name and the creator, ask the creator for the
// long description (describe mode) and for effect objects (create mode). Effects are then driven
// only through the six slots of the C table in ape_abi.h; nothing of an effect is ever linked in.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "apefw/ape_abi.h"

namespace apehost {

// Plug-ins given by name rather than by path are found by plugin_search.hpp.

class EffectInstance;

class PluginModule {
 public:
  // Loads the module at path. Throws a bad-input error naming the file and the reason when it is
  // missing, not a shared library, has no entry point or hands out no creator.
  static PluginModule load(const std::string& path);

  const std::string& path() const noexcept { return path_; }
  const std::string& short_name() const noexcept { return short_name_; }
  const std::string& long_description() const noexcept { return long_description_; }

  // A new effect object (create mode). Throws a bad-input error when the creator returns null.
  EffectInstance create_effect() const;

 private:
  PluginModule() = default;

  std::string path_;
  std::shared_ptr<void> library_;  // the dlopen handle; closed once the last user lets go
  ApeCreateEffectFn creator_ = nullptr;
  std::string short_name_;
  std::string long_description_;
};

// One effect object, owned: destroyed through slot 0 (with the free flag) when this goes. Keeps its
// module loaded for as long as it lives.
class EffectInstance {
 public:
  EffectInstance(EffectInstance&& other) noexcept;
  EffectInstance& operator=(EffectInstance&& other) noexcept;
  ~EffectInstance();

  // Slot 1. frame and scratch: width x height pixels each; scratch is lent as the second frame
  // argument, which the effects do not use.
  int render_frame(const std::uint8_t* sound, bool beat, std::uint32_t* frame,
                   std::uint32_t* scratch, int width, int height);
  // Slot 3.
  std::string describe();
  // Slot 4.
  void load_settings(const std::uint8_t* data, int length);
  // Slot 5: the 72-byte blob. Throws a bad-input error when the effect reports another length.
  std::array<std::uint8_t, APE_SETTINGS_BYTES> save_settings();

 private:
  friend class PluginModule;
  EffectInstance(std::shared_ptr<void> library, ApeEffect* object, std::string path) noexcept;
  void destroy() noexcept;

  std::shared_ptr<void> library_;
  ApeEffect* object_ = nullptr;
  std::string path_;
};

}  // namespace apehost
