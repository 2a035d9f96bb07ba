#include "plugin/plugin_loader.hpp"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "base/host_error.hpp"

namespace apehost {
namespace {

// dlerror's text usually repeats the path first; the error line names the file once already.
std::string loader_reason(const std::string& path) {
  const char* text = dlerror();
  std::string reason = text ? text : "unknown reason";
  const std::string prefix = path + ": ";
  if (reason.compare(0, prefix.size(), prefix) == 0) reason.erase(0, prefix.size());
  for (char& c : reason) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return reason;
}

}  // namespace

PluginModule PluginModule::load(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    throw bad_input(path,
                    errno == ENOENT ? "no such file" : "cannot open (" + errno_text(errno) + ")");
  }
  if (!S_ISREG(info.st_mode)) throw bad_input(path, "not a regular file");

  // dlopen searches the library path for a name without '/', so a file in the current directory
  // must be named as ./file.
  const std::string open_path = path.find('/') == std::string::npos ? "./" + path : path;
  void* handle = dlopen(open_path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle)
    throw bad_input(path, "not a loadable shared library (" + loader_reason(open_path) + ")");

  PluginModule module;
  module.path_ = path;
  module.library_ = std::shared_ptr<void>(handle, [](void* h) { dlclose(h); });

  void* symbol = dlsym(handle, APE_ENTRY_POINT_NAME);
  if (!symbol) throw bad_input(path, "not a plug-in (no " APE_ENTRY_POINT_NAME " entry point)");
  ApeEntryPointFn entry_point = nullptr;
  static_assert(sizeof entry_point == sizeof symbol);
  std::memcpy(&entry_point, &symbol, sizeof symbol);  // object to function pointer, as POSIX allows

  char* short_name = nullptr;
  ApeCreateEffectFn creator = nullptr;
  // The host passes its module handle; the effects only hand it back to the settings panel, which
  // apehost never opens.
  const int result = entry_point(handle, &short_name, &creator);
  if (result != 1 || !creator) {
    throw bad_input(path, "not a plug-in (" APE_ENTRY_POINT_NAME " returned " +
                              std::to_string(result) + (creator ? "" : " and no creator") + ")");
  }
  module.creator_ = creator;
  module.short_name_ = short_name ? short_name : "";

  // Describe mode has no length argument: lend far more than the 128 bytes a host must, and read
  // no further than the buffer even if the module forgot the terminating zero.
  std::array<char, 4 * APE_DESCRIPTION_CAPACITY> description{};
  ApeEffect* nothing = creator(description.data());
  if (nothing) {
    // A creator that builds an object in describe mode hands us ownership all the same.
    nothing->vtable->destroy(nothing, APE_DESTROY_AND_FREE);
  }
  module.long_description_.assign(description.data(),
                                  strnlen(description.data(), description.size()));
  return module;
}

EffectInstance PluginModule::create_effect() const {
  ApeEffect* object = creator_(nullptr);
  if (!object) throw bad_input(path_, "the plug-in's creator returned no effect object");
  return EffectInstance(library_, object, path_);
}

EffectInstance::EffectInstance(std::shared_ptr<void> library, ApeEffect* object,
                               std::string path) noexcept
    : library_(std::move(library)), object_(object), path_(std::move(path)) {}

EffectInstance::EffectInstance(EffectInstance&& other) noexcept
    : library_(std::move(other.library_)),
      object_(std::exchange(other.object_, nullptr)),
      path_(std::move(other.path_)) {}

EffectInstance& EffectInstance::operator=(EffectInstance&& other) noexcept {
  if (this != &other) {
    destroy();
    library_ = std::move(other.library_);
    object_ = std::exchange(other.object_, nullptr);
    path_ = std::move(other.path_);
  }
  return *this;
}

EffectInstance::~EffectInstance() { destroy(); }

void EffectInstance::destroy() noexcept {
  // The object goes before the module: its code lives there.
  if (object_) object_->vtable->destroy(object_, APE_DESTROY_AND_FREE);
  object_ = nullptr;
  library_.reset();
}

int EffectInstance::render_frame(const std::uint8_t* sound, bool beat, std::uint32_t* frame,
                                 std::uint32_t* scratch, int width, int height) {
  // The boundary speaks of int pixels; they are the same 32-bit words.
  static_assert(sizeof(int) == sizeof(std::uint32_t));
  return object_->vtable->render_frame(object_, sound, beat ? 1 : 0, reinterpret_cast<int*>(frame),
                                       reinterpret_cast<int*>(scratch), width, height);
}

std::string EffectInstance::describe() {
  const char* text = object_->vtable->describe(object_);
  return text ? text : "";
}

void EffectInstance::load_settings(const std::uint8_t* data, int length) {
  object_->vtable->load_settings(object_, data, length);
}

std::array<std::uint8_t, APE_SETTINGS_BYTES> EffectInstance::save_settings() {
  std::array<std::uint8_t, APE_SETTINGS_BYTES> blob{};
  const int written = object_->vtable->save_settings(object_, blob.data());
  if (written != APE_SETTINGS_BYTES) {
    throw bad_input(path_, "the effect saved " + std::to_string(written) + " settings bytes, not " +
                               std::to_string(APE_SETTINGS_BYTES));
  }
  return blob;
}

}  // namespace apehost
