// libFuzzer target: apehost's readers and its command line, in-process. Only clear errors, never a
// crash: every run ends with status 0, 1 or 2, and a failing one says why on standard error in one
// line "apehost: ..." (after any "apehost: note: ..." lines). And no lost file: after every command
// line, no file of the scratch directory has changed or gone unless the command named it as an
// output (or a link to it) and gave -y, and no temporary is left.
//
// Byte 0 chooses what the rest is:
//   0: a sound trace file. It is read to the end; one that reads is written again with the trace
//      writer and must come out the same (beat bytes as 0 or 1); one that is refused names the
//      file.
//   1: a command line. Bytes 1-2 (little-endian) give the length of a file's contents that follow;
//      the rest are the arguments, separated by zero bytes. The argument "@t" or "@s" names that
//      file (as a trace or a settings blob: the same file), "@v" a valid three-frame trace, "@c"
//      and "@b" the coilfx and blobfx modules, "@o" an output file, "@p" a PNG name pattern, "@d" a
//      directory, "@e" a file that exists ("existing-0.png", so the pattern existing-%d.png
//      meets it), "@l" a symbolic and "@h" a hard link to the valid trace. A file that starts
//      like a shared library is not tried (the dynamic loader is not what this target tests). Every
//      other argument is passed as it is, but never one with a
//      '/', so that no file outside the scratch directory (the working directory of the run) is
//      touched, and never a frame size over 512 x 512 nor a trace-synth of more than 64 frames, so
//      that one run stays small; nor a command that opens a window or an audio device, decodes a
//      song or starts ffmpeg (demo, play, devices, analyse, render to a video).

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/host_error.hpp"
#include "media/frame_sink.hpp"
#include "media/trace.hpp"
#include "media/trace_synth.hpp"

int apehost_main(int argc, char** argv);

namespace {

namespace fs = std::filesystem;

fs::path g_scratch;
std::string g_input, g_valid_trace, g_output, g_pattern, g_directory, g_errors, g_existing,
    g_symbolic_link, g_hard_link;
std::vector<std::uint8_t> g_valid_trace_bytes;
constexpr char kExistingBytes[] = "a file of the user's\n";
// Frame numbers looked at for a PNG pattern: more than any run here renders (64 frames at most).
constexpr std::uint64_t kFramesChecked = 100;

[[noreturn]] void fail(const std::string& why) {
  std::fprintf(stderr, "apehost case failed: %s\n", why.c_str());
  std::abort();
}

void write_file(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  if (!out) fail("cannot write " + path);
}

std::vector<std::uint8_t> read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Everything a run may have left in the scratch directory goes, except the fixed files.
void clean_scratch() {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(g_scratch, error)) {
    const std::string path = entry.path().string();
    if (path == g_valid_trace || path == g_directory || path == g_existing ||
        path == g_symbolic_link || path == g_hard_link)
      continue;
    fs::remove_all(entry.path(), error);
  }
}

// The fixed files as they are at the start: a run that was allowed to replace one (-y) does not
// change what the next run finds.
void restore_fixed_files() {
  std::error_code error;
  for (const std::string& path : {g_valid_trace, g_existing, g_symbolic_link, g_hard_link}) {
    fs::remove(path, error);
  }
  write_file(g_valid_trace, g_valid_trace_bytes.data(), g_valid_trace_bytes.size());
  write_file(g_existing, reinterpret_cast<const std::uint8_t*>(kExistingBytes),
             sizeof kExistingBytes - 1);
  fs::create_symlink(g_valid_trace, g_symbolic_link, error);
  if (!error) fs::create_hard_link(g_valid_trace, g_hard_link, error);
  if (error) fail("cannot make the links: " + error.message());
}

void remove_scratch() {
  std::error_code error;
  fs::remove_all(g_scratch, error);
}

void check_one_line(const std::string& text, const std::string& subject, const std::string& start,
                    bool allow_notes) {
  if (text.empty() || text.back() != '\n') fail(subject + ": error without a final line: " + text);
  std::size_t begin = 0;
  for (;;) {
    const std::size_t end = text.find('\n', begin);
    const std::string line = text.substr(begin, end - begin);
    const bool last = end + 1 == text.size();
    if (last) {
      if (line.rfind(start, 0) != 0 || line.size() <= start.size()) {
        fail(subject + ": unclear error line: " + line);
      }
      return;
    }
    if (!allow_notes || line.rfind("apehost: note: ", 0) != 0) {
      fail(subject + ": more than one line of error: " + text);
    }
    begin = end + 1;
  }
}

void trace_case(const std::uint8_t* data, std::size_t size) {
  write_file(g_input, data, size);
  std::vector<apehost::TraceFrame> frames;
  std::uint32_t fps = 0;
  try {
    apehost::TraceReader reader(g_input);
    fps = reader.frames_per_second();
    apehost::TraceFrame frame;
    while (reader.read(frame)) frames.push_back(frame);
    if (frames.size() != reader.frame_count()) fail("trace: fewer records read than counted");
  } catch (const apehost::HostError& e) {
    check_one_line(std::string(e.what()) + "\n", "trace", g_input + ": ", false);
    if (e.exit_status() != apehost::kExitBadInput) fail("trace: a bad file is not bad input");
    return;
  }
  // It read, so it was a whole trace: writing it again gives the same bytes, but for the beat
  // bytes, which any nonzero value sets and the writer writes as 1.
  apehost::TraceWriter writer(g_output, fps);
  for (const apehost::TraceFrame& frame : frames) writer.write(frame);
  writer.close();
  std::vector<std::uint8_t> expected(data, data + size);
  for (std::size_t at = apehost::kTraceHeaderBytes; at < expected.size();
       at += apehost::kTraceRecordBytes) {
    expected[at] = expected[at] != 0;
  }
  if (read_file(g_output) != expected) fail("trace: read and written again, the file changed");
}

// Numbers in an argument, as the digit runs in it.
std::vector<unsigned long long> digit_runs(const std::string& s) {
  std::vector<unsigned long long> runs;
  for (std::size_t i = 0; i < s.size();) {
    if (s[i] < '0' || s[i] > '9') {
      ++i;
      continue;
    }
    unsigned long long v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
      v = v > 1000000 ? v : v * 10 + (s[i] - '0');
    runs.push_back(v);
  }
  return runs;
}

// Whether an argument could make a run large: a frame size over 512 x 512 in any spelling, or a
// trace-synth frame count over 64.
bool too_large(const std::string& argument, const std::string& previous) {
  const std::vector<unsigned long long> runs = digit_runs(argument);
  if (argument.find_first_of("xX") != std::string::npos) {
    for (const unsigned long long v : runs) {
      if (v > 512) return true;
    }
  }
  if (previous == "--frames" || argument.rfind("--frames=", 0) == 0) {
    for (const unsigned long long v : runs) {
      if (v > 64) return true;
    }
  }
  return false;
}

// Whether a command line would open a window or an audio device, decode a song or start ffmpeg:
// those are the libraries' and the programs' inputs, not the readers this target is about, and a
// demo would render 30 seconds of video in one run.
// A file of the scratch directory as a run found it: its identity and bytes (a link's: where it
// points).
struct FileState {
  ino_t inode = 0;
  std::string bytes;
  bool operator==(const FileState&) const = default;
};

std::map<std::string, FileState> scratch_files() {
  std::map<std::string, FileState> files;
  std::error_code error;
  for (const auto& entry : fs::recursive_directory_iterator(g_scratch, error)) {
    const std::string path = entry.path().string();
    if (path == g_errors) continue;  // ours: the run's standard error
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) continue;
    FileState state;
    state.inode = info.st_ino;
    if (S_ISLNK(info.st_mode)) {
      state.bytes = fs::read_symlink(entry.path(), error).string();
    } else if (S_ISREG(info.st_mode)) {
      const std::vector<std::uint8_t> bytes = read_file(path);
      state.bytes.assign(bytes.begin(), bytes.end());
    }
    files[path] = state;
  }
  return files;
}

// The files a command line names as outputs (-o, --output, --raw, --png, in every spelling CLI11
// takes: "-o F", "-oF", "--raw F", "--raw=F", and -o at the end of a cluster of short flags),
// with the files that links among them name; and whether it gives -y (--overwrite, or y in a
// cluster of short flags).
struct NamedOutputs {
  std::set<std::string> files;
  bool overwrite = false;
};

NamedOutputs named_outputs(const std::vector<std::string>& args) {
  NamedOutputs named;
  std::vector<std::string> values;
  std::vector<std::string> patterns;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const std::string next = i + 1 < args.size() ? args[i + 1] : "";
    for (const char* option : {"--output", "--raw", "--png"}) {
      const std::string name = option;
      std::vector<std::string>& into = name == "--png" ? patterns : values;
      if (a == name) into.push_back(next);
      if (a.rfind(name + "=", 0) == 0) into.push_back(a.substr(name.size() + 1));
    }
    if (a.rfind("--overwrite", 0) == 0) named.overwrite = true;
    if (a.size() >= 2 && a[0] == '-' && a[1] != '-') {
      // A cluster of short flags: y sets -y; o takes the rest, or the next argument.
      for (std::size_t k = 1; k < a.size(); ++k) {
        if (a[k] == 'y') named.overwrite = true;
        if (a[k] == 'o') {
          values.push_back(k + 1 < a.size() ? a.substr(k + 1) : next);
          break;
        }
      }
    }
  }
  for (const std::string& pattern : patterns) {
    try {
      const apehost::FramePattern frames(pattern);
      for (std::uint64_t n = 0; n < kFramesChecked; ++n) values.push_back(frames.format(n));
    } catch (const apehost::HostError&) {
      // Not a pattern: the run refuses it.
    }
  }
  for (const std::string& value : values) {
    if (value.empty()) continue;
    const fs::path path = fs::path(value).is_absolute() ? fs::path(value) : g_scratch / value;
    named.files.insert(path.lexically_normal().string());
    std::error_code error;
    const fs::path real = fs::canonical(path, error);
    if (!error) named.files.insert(real.string());
  }
  return named;
}

// After a run: every file that was there is as it was, unless the command named it as an output
// and gave -y; every new file is one it named; no temporary is left.
void check_no_file_lost(const std::map<std::string, FileState>& before,
                        const std::map<std::string, FileState>& after,
                        const std::vector<std::string>& args, const std::string& command) {
  const NamedOutputs named = named_outputs(args);
  for (const auto& [path, state] : before) {
    const auto now = after.find(path);
    if (now != after.end() && now->second == state) continue;
    if (named.overwrite && named.files.count(path)) continue;
    fail(command + ": " + path + (now == after.end() ? " is gone" : " changed"));
  }
  for (const auto& [path, state] : after) {
    if (before.count(path)) continue;
    if (path.find(".apehost-") != std::string::npos) fail(command + ": left " + path);
    if (!named.files.count(path)) fail(command + ": wrote " + path + ", which it did not name");
  }
}

bool reaches_devices_or_media(const std::vector<std::string>& args) {
  bool render = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "demo" || a == "play" || a == "devices" || a == "analyse") return true;
    if (a == "render") render = true;
  }
  if (!render) return false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.rfind("-o", 0) == 0 || a.rfind("--output", 0) == 0 || a.rfind("--audio", 0) == 0 ||
        a.rfind("--ffmpeg", 0) == 0)
      return true;
  }
  return false;
}

void command_line_case(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return;
  std::size_t file_bytes = data[0] | std::size_t{data[1]} << 8;
  data += 2;
  size -= 2;
  if (file_bytes > size) file_bytes = size;
  // Not a shared library: the dynamic loader is not ours to fuzz.
  if (file_bytes >= 4 && std::memcmp(data,
                                     "\x7f"
                                     "ELF",
                                     4) == 0)
    return;
  write_file(g_input, data, file_bytes);
  data += file_bytes;
  size -= file_bytes;

  std::vector<std::string> args{"apehost"};
  bool newline_given = false;
  std::string current;
  for (std::size_t i = 0; i <= size; ++i) {
    if (i < size && data[i] != 0) {
      current.push_back(static_cast<char>(data[i]));
      continue;
    }
    if (current.find('/') != std::string::npos) return;
    if (too_large(current, args.back())) return;
    newline_given = newline_given || current.find('\n') != std::string::npos;
    if (current == "@t" || current == "@s")
      current = g_input;
    else if (current == "@v")
      current = g_valid_trace;
    else if (current == "@c")
      current = COILFX_MODULE;
    else if (current == "@b")
      current = BLOBFX_MODULE;
    else if (current == "@o")
      current = g_output;
    else if (current == "@p")
      current = g_pattern;
    else if (current == "@d")
      current = g_directory;
    else if (current == "@e")
      current = g_existing;
    else if (current == "@l")
      current = g_symbolic_link;
    else if (current == "@h")
      current = g_hard_link;
    args.push_back(current);
    current.clear();
    if (args.size() > 24) return;
  }
  if (reaches_devices_or_media(args)) return;
  restore_fixed_files();
  const std::map<std::string, FileState> before = scratch_files();
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  // Standard output to nowhere, standard error into a file to look at.
  std::fflush(stdout);
  std::cout.flush();
  const int saved_out = dup(1), saved_err = dup(2);
  const int null_fd = open("/dev/null", O_WRONLY);
  const int err_fd = open(g_errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (saved_out < 0 || saved_err < 0 || null_fd < 0 || err_fd < 0) fail("cannot redirect output");
  dup2(null_fd, 1);
  dup2(err_fd, 2);
  const int status = apehost_main(static_cast<int>(args.size()), argv.data());
  std::cout.flush();
  std::cerr.flush();
  std::fflush(stdout);
  std::fflush(stderr);
  dup2(saved_out, 1);
  dup2(saved_err, 2);
  for (const int fd : {saved_out, saved_err, null_fd, err_fd}) close(fd);
  std::cout.clear();
  std::cerr.clear();

  std::string command;
  for (std::size_t i = 1; i < args.size(); ++i) command += " " + args[i];
  if (status != 0 && status != apehost::kExitFailure && status != apehost::kExitBadInput) {
    fail("apehost" + command + ": exit status " + std::to_string(status));
  }
  if (status != 0 && !newline_given) {
    const std::vector<std::uint8_t> err = read_file(g_errors);
    check_one_line(std::string(err.begin(), err.end()), "apehost" + command, "apehost: ", true);
  }
  check_no_file_lost(before, scratch_files(), args, "apehost" + command);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string pattern = (fs::temp_directory_path() / "apehost-fuzz-XXXXXX").string();
  if (!mkdtemp(pattern.data())) fail("cannot make a scratch directory");
  g_scratch = pattern;
  std::atexit(remove_scratch);
  g_input = (g_scratch / "input").string();
  g_valid_trace = (g_scratch / "valid.trace").string();
  g_output = (g_scratch / "out").string();
  g_pattern = (g_scratch / "frame-%03d.png").string();
  g_directory = (g_scratch / "dir").string();
  g_errors = (g_scratch / "errors").string();
  g_existing = (g_scratch / "existing-0.png").string();
  g_symbolic_link = (g_scratch / "symbolic-link").string();
  g_hard_link = (g_scratch / "hard-link").string();
  fs::create_directory(g_directory);
  apehost::TraceWriter writer(g_valid_trace, 30);
  apehost::TraceSynthesizer synth(7);
  for (int i = 0; i < 3; ++i) writer.write(synth.next());
  writer.close();
  g_valid_trace_bytes = read_file(g_valid_trace);
  // The modules stay loaded from here on: the host's own loads of them only count references, so
  // they are not mapped and instrumented anew for every input.
  for (const char* module : {COILFX_MODULE, BLOBFX_MODULE}) {
    if (!dlopen(module, RTLD_NOW | RTLD_LOCAL)) fail(std::string("cannot load ") + module);
  }
  // Relative names in the arguments resolve inside the scratch directory.
  fs::current_path(g_scratch);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  if (data[0] == 0) {
    trace_case(data + 1, size - 1);
  } else {
    command_line_case(data + 1, size - 1);
  }
  clean_scratch();
  return 0;
}
