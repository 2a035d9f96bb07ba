// Output files: the target changes only when a complete file is committed, in one step; a failure
// or a refusal leaves it as it was and no temporary behind. Numbered files never replace anything.

#include "base/output_file.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/file_io.hpp"
#include "base/host_error.hpp"

namespace {

namespace fs = std::filesystem;
using apehost::Existing;
using apehost::HostError;
using apehost::OutputFile;

std::string text_of(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void put_text(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> names_in(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

void write_text(OutputFile& file, const std::string& text) { file.write(text.data(), text.size()); }

// The message and exit status of what step throws ("" when nothing).
std::pair<std::string, int> refusal(const std::function<void()>& step) {
  try {
    step();
  } catch (const HostError& e) {
    return {e.what(), e.exit_status()};
  }
  return {"", 0};
}

TEST(OutputFile, ANewFileAppearsWhenCommittedFromAHiddenTemporaryBesideIt) {
  apehost::TemporaryDirectory dir;
  const std::string target = dir.path("clip.mp4");
  const mode_t old_mask = umask(027);
  {
    OutputFile file(target, Existing::refuse);
    const fs::path temporary(file.path());
    // Beside the target, hidden, with its extension (ffmpeg reads the container from it).
    EXPECT_EQ(temporary.parent_path(), fs::path(target).parent_path());
    EXPECT_EQ(temporary.filename().string().rfind(".clip.apehost-", 0), 0u) << file.path();
    EXPECT_EQ(temporary.extension(), ".mp4");
    write_text(file, "all of it");
    file.close();
    EXPECT_FALSE(fs::exists(target)) << "in place before the commit";
    file.commit();
  }
  umask(old_mask);
  EXPECT_EQ(text_of(target), "all of it");
  EXPECT_EQ(names_in(dir.path("")), std::vector<std::string>{"clip.mp4"});
  // The permissions every new file gets under the umask, not the temporary's private ones.
  EXPECT_EQ(fs::status(target).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(OutputFile, AnOutputNotCommittedLeavesTheOldFileAndNoTemporary) {
  apehost::TemporaryDirectory dir;
  const std::string target = dir.path("out.raw");
  put_text(target, "old");
  {
    OutputFile file(target, Existing::replace);
    write_text(file, "half of the new");
  }
  {
    OutputFile file(target, Existing::replace);
    write_text(file, "all of the new, closed but not committed");
    file.close();
  }
  EXPECT_EQ(text_of(target), "old");
  EXPECT_EQ(names_in(dir.path("")), std::vector<std::string>{"out.raw"});
}

TEST(OutputFile, RefuseLeavesAnExistingFileAndOneThatAppearsWhileWriting) {
  apehost::TemporaryDirectory dir;
  const std::string existing = dir.path("there.trace");
  put_text(existing, "mine");
  const auto [message, status] = refusal([&] { OutputFile file(existing, Existing::refuse); });
  EXPECT_EQ(message, existing + ": already exists");
  EXPECT_EQ(status, apehost::kExitBadInput);
  EXPECT_EQ(text_of(existing), "mine");

  // Created by someone else after the check: the no-replace rename leaves theirs.
  const std::string racing = dir.path("racing.trace");
  const auto [late, late_status] = refusal([&] {
    OutputFile file(racing, Existing::refuse);
    write_text(file, "ours");
    put_text(racing, "theirs");
    file.commit();
  });
  EXPECT_EQ(late, racing + ": appeared while it was being written; left as it is");
  EXPECT_EQ(late_status, apehost::kExitBadInput);
  EXPECT_EQ(text_of(racing), "theirs");
  EXPECT_EQ(names_in(dir.path("")), (std::vector<std::string>{"racing.trace", "there.trace"}));
}

TEST(OutputFile, ReplaceKeepsPermissionsSymbolicLinksAndOtherHardLinks) {
  apehost::TemporaryDirectory dir;
  const std::string kept = dir.path("kept.blob");
  put_text(kept, "old");
  fs::permissions(kept, fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
  OutputFile first(kept, Existing::replace);
  write_text(first, "new");
  first.commit();
  EXPECT_EQ(text_of(kept), "new");
  EXPECT_EQ(fs::status(kept).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);

  // Through a link the file it names is replaced, and the link stays a link.
  fs::create_directory(dir.path("real"));
  const std::string real = dir.path("real/data.raw");
  put_text(real, "old");
  fs::create_symlink(real, dir.path("link.raw"));
  OutputFile through(dir.path("link.raw"), Existing::replace);
  write_text(through, "new");
  through.commit();
  EXPECT_TRUE(fs::is_symlink(dir.path("link.raw")));
  EXPECT_EQ(text_of(real), "new");
  EXPECT_EQ(names_in(dir.path("real")), std::vector<std::string>{"data.raw"});

  // A hard link elsewhere keeps the old bytes: the name gets a new file, the old one is not
  // written over.
  put_text(dir.path("a.png"), "old");
  fs::create_hard_link(dir.path("a.png"), dir.path("b.png"));
  OutputFile replaced(dir.path("a.png"), Existing::replace);
  write_text(replaced, "new");
  replaced.commit();
  EXPECT_EQ(text_of(dir.path("a.png")), "new");
  EXPECT_EQ(text_of(dir.path("b.png")), "old");
}

TEST(OutputFile, DirectoriesAreRefusedAndDevicesAreWrittenAsStreams) {
  apehost::TemporaryDirectory dir;
  fs::create_directory(dir.path("frames"));
  const auto [message, status] =
      refusal([&] { OutputFile file(dir.path("frames"), Existing::replace); });
  EXPECT_EQ(message, dir.path("frames") + ": is a directory");
  EXPECT_EQ(status, apehost::kExitBadInput);

  OutputFile null("/dev/null", Existing::refuse);  // no file to lose: no -y needed
  EXPECT_TRUE(null.is_stream());
  EXPECT_EQ(null.path(), "/dev/null");
  write_text(null, "gone");
  EXPECT_NO_THROW(null.commit());

  // A device that is always full: the failure is the disk's, named by the target.
  const auto [full, full_status] = refusal([] {
    OutputFile file("/dev/full", Existing::refuse);
    write_text(file, "does not fit");
    file.commit();
  });
  EXPECT_EQ(full, "/dev/full: write failed (No space left on device)");
  EXPECT_EQ(full_status, apehost::kExitFailure);
  EXPECT_EQ(names_in(dir.path("")), std::vector<std::string>{"frames"});
}

// Under a file size limit of 1 KiB (as ulimit -f sets), with SIGXFSZ ignored as apehost ignores
// it: 0 when the write failed naming the target and nothing changed.
int write_past_the_limit(const std::string& dir, const std::string& target) {
  signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{1024, 1024};
  setrlimit(RLIMIT_FSIZE, &limit);
  const auto [message, status] = refusal([&] {
    OutputFile file(target, Existing::replace);
    write_text(file, std::string(4096, 'x'));
    file.commit();
  });
  const bool reported =
      message == target + ": write failed (File too large)" && status == apehost::kExitFailure;
  const bool untouched = text_of(target) == "old" && names_in(dir).size() == 1;
  return reported && untouched ? 0 : 1;
}

TEST(OutputFileDeathTest, AFileSizeLimitFailsTheWriteAndLeavesNothing) {
  apehost::TemporaryDirectory dir;
  const std::string target = dir.path("big.raw");
  put_text(target, "old");
  // In a child: the limit is the process's. _exit, so that the child leaves the parent's directory
  // alone.
  EXPECT_EXIT(_exit(write_past_the_limit(dir.path(""), target)), ::testing::ExitedWithCode(0), "");
}

TEST(OutputFile, CommitAllPutsEveryFileInPlace) {
  apehost::TemporaryDirectory dir;
  std::vector<OutputFile> files;
  for (const char* name : {"f0.png", "f1.png", "f2.png"}) {
    OutputFile file(dir.path(name), Existing::refuse);
    write_text(file, name);
    file.close(OutputFile::Sync::later);
    files.push_back(std::move(file));
  }
  EXPECT_EQ(names_in(dir.path("")).size(), 3u);  // the three temporaries
  OutputFile::commit_all(files);
  EXPECT_EQ(names_in(dir.path("")), (std::vector<std::string>{"f0.png", "f1.png", "f2.png"}));
  EXPECT_EQ(text_of(dir.path("f1.png")), "f1.png");
}

TEST(NumberedFiles, TakeTheFirstFreeNameAndNeverReplaceOne) {
  apehost::TemporaryDirectory dir;
  const apehost::NumberedName shot = [&](std::uint64_t n) {
    return dir.path("shot-" + std::to_string(n) + ".png");
  };
  put_text(shot(1), "first");
  put_text(shot(2), "second");
  EXPECT_EQ(apehost::first_free_name(shot), shot(3));
  EXPECT_EQ(apehost::write_numbered_file(shot, [](OutputFile& f) { write_text(f, "third"); }),
            shot(3));
  EXPECT_EQ(text_of(shot(3)), "third");

  // The name is taken while the file is written: the next free one, and theirs stays.
  const std::string written = apehost::write_numbered_file(shot, [&](OutputFile& f) {
    write_text(f, "ours");
    put_text(shot(4), "theirs");
    put_text(shot(5), "theirs too");
  });
  EXPECT_EQ(written, shot(6));
  EXPECT_EQ(text_of(shot(4)), "theirs");
  EXPECT_EQ(text_of(shot(6)), "ours");
  EXPECT_EQ(names_in(dir.path("")).size(), 6u) << "a temporary was left";
  EXPECT_EQ(text_of(shot(1)), "first");
}

}  // namespace
