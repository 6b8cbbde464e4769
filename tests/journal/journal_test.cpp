// The journal on a healthy disk: what a line keeps, durability, runs, autosaves, reading.
#include "journal/journal.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "journal/journal_reader.h"
#include "journal_test_support.h"
#include "text/error.h"

namespace ln40 {
namespace {

using journal_test::BytesOf;
using journal_test::LinesInFile;
using journal_test::SampleLine;
using journal_test::SequencesOf;
using journal_test::TemporaryFolder;

TEST(JournalFingerprintTest, IsFnv1a64) {
  struct Case {
    std::string bytes;
    std::uint64_t fingerprint;
  };
  const Case cases[] = {
      {"", 0xcbf29ce484222325ull},
      {"a", 0xaf63dc4c8601ec8cull},
      {"foobar", 0x85944171f73967e8ull},
  };
  for (const Case& c : cases) EXPECT_EQ(Fingerprint(c.bytes), c.fingerprint) << c.bytes;
}

TEST(JournalTest, LineReadsBackExactly) {
  TemporaryFolder folder;
  std::string every_byte;
  for (int byte = 0; byte < 256; ++byte) every_byte += static_cast<char>(byte);

  Journal journal(folder.path() + "/");
  const Journal::RunStart start = journal.Start(45321.25);
  ASSERT_TRUE(journal.Healthy()) << journal.Problem();
  EXPECT_EQ(journal.Path(), folder.File("journal.sqlite"));

  struct Case {
    JournalLine line;
    bool mark_done;
    bool acknowledged;
  };
  std::vector<Case> cases = {
      {SampleLine("A01000123012:34.567\r", 45321.123456789012), true, true},
      {SampleLine(every_byte, 45321.999999999), true, false},
      {SampleLine("", 1e-300), false, false},
  };
  cases[1].line.kind = JournalLineKind::Fragment;
  cases[2].line.kind = JournalLineKind::Repeat;
  cases[2].line.options = StationOptions{};
  cases[2].line.chronexSizeBefore = -1;

  std::vector<JournalLine> expected;
  for (Case& c : cases) {
    const LineHandle handle = journal.Append(c.line);
    if (c.mark_done) journal.MarkDone(handle, c.acknowledged);
    JournalLine line = c.line;
    line.sequence = journal.SequenceOf(handle).value_or(0);
    line.run = start.run;
    line.handled = c.mark_done;
    line.acknowledged = c.mark_done && c.acknowledged;
    expected.push_back(line);
  }
  EXPECT_TRUE(journal.Healthy()) << journal.Problem();
  EXPECT_EQ(LinesInFile(folder.path()), expected);
  EXPECT_EQ(journal.LinesOfRun(start.run, 0), expected);
}

TEST(JournalTest, WritesWithWriteAheadLogAndFullSync) {
  TemporaryFolder folder;
  Journal journal(folder.path());
  journal.Start(1.0);
  const LineHandle handle = journal.Append(SampleLine("+\r"));
  // Committed, not merely buffered: a second connection sees it.
  EXPECT_EQ(BytesOf(LinesInFile(folder.path())), std::vector<std::string>{"+\r"});
  journal.MarkDone(handle, true);
  // MarkDone commits without waiting for the disk; the lines after it must not.
  const Journal::StorageModes modes = journal.Storage();
  EXPECT_EQ(modes.journalMode, "wal");
  EXPECT_EQ(modes.synchronous, "full");
}

TEST(JournalTest, LineOfKilledProgramIsThereWhenReopened) {
  TemporaryFolder folder;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    Journal journal(folder.path());
    journal.Start(1.0);
    journal.Append(SampleLine("A01000123012:34.567\r"));
    ::kill(::getpid(), SIGKILL);
    ::_exit(1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

  Journal journal(folder.path());
  const Journal::RunStart start = journal.Start(2.0);
  EXPECT_TRUE(start.resumed);
  const std::vector<JournalLine> lines = journal.LinesOfRun(start.run, 0);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].bytes, "A01000123012:34.567\r");
  EXPECT_FALSE(lines[0].handled);
}

TEST(JournalTest, OpenRunIsResumedUntilItIsClosed) {
  TemporaryFolder folder;
  std::int64_t first_run = 0;
  {
    Journal journal(folder.path());
    const Journal::RunStart start = journal.Start(1.0);
    EXPECT_FALSE(start.resumed);
    first_run = start.run;
    journal.Append(SampleLine("first\r"));
  }  // no close mark: as after a crash
  {
    Journal journal(folder.path());
    const Journal::RunStart start = journal.Start(2.0);
    EXPECT_TRUE(start.resumed);
    EXPECT_EQ(start.run, first_run);
    journal.Append(SampleLine("second\r"));
    journal.CloseRun(3.0);
    EXPECT_EQ(journal.CurrentRun(), 0);
  }
  Journal journal(folder.path());
  const Journal::RunStart start = journal.Start(4.0);
  EXPECT_FALSE(start.resumed);
  EXPECT_GT(start.run, first_run);
  journal.Append(SampleLine("third\r"));

  const std::vector<JournalLine> lines = LinesInFile(folder.path());
  EXPECT_EQ(BytesOf(lines), (std::vector<std::string>{"first\r", "second\r", "third\r"}));
  EXPECT_EQ(SequencesOf(lines), (std::vector<std::int64_t>{1, 2, 3}));
  EXPECT_EQ(BytesOf(journal.LinesOfRun(first_run, 0)), (std::vector<std::string>{"first\r", "second\r"}));
  EXPECT_EQ(BytesOf(journal.LinesOfRun(first_run, 1)), std::vector<std::string>{"second\r"});
  EXPECT_EQ(BytesOf(journal.LinesOfRun(start.run, 0)), std::vector<std::string>{"third\r"});

  const std::vector<JournalRun> runs = JournalReader(folder.path()).Runs();
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0], (JournalRun{first_run, 1.0, 3.0}));
  EXPECT_EQ(runs[1], (JournalRun{start.run, 4.0, std::nullopt}));
}

TEST(JournalTest, AutosaveNamesTheLastLineBeforeIt) {
  TemporaryFolder folder;
  Journal journal(folder.path());
  const std::int64_t run = journal.Start(1.0).run;
  const std::uint64_t before_lines = Fingerprint("empty");
  const std::uint64_t high_bit_set = 0xfedcba9876543210ull;
  journal.RecordAutosave(before_lines, 1.1);
  journal.Append(SampleLine("a\r"));
  const LineHandle second = journal.Append(SampleLine("b\r"));
  journal.RecordAutosave(high_bit_set, 1.2);
  journal.Append(SampleLine("c\r"));

  EXPECT_EQ(journal.AutosaveSequence(run, before_lines), 0);
  EXPECT_EQ(journal.AutosaveSequence(run, high_bit_set), journal.SequenceOf(second));
  EXPECT_EQ(journal.AutosaveSequence(run, Fingerprint("never saved")), std::nullopt);
  EXPECT_EQ(journal.AutosaveSequence(run + 1, high_bit_set), std::nullopt);
  EXPECT_EQ(JournalReader(folder.path()).AutosaveSequence(run, high_bit_set), journal.SequenceOf(second));
}

TEST(JournalTest, LogIsFoldedIntoTheFileAsLinesAreDone) {
  // On a tmpfs, where a synchronous commit costs nothing.
  journal_test::MountedTmpfs disk("64m");
  if (!disk.error().empty()) GTEST_SKIP() << "cannot mount a tmpfs: " << disk.error();
  Journal journal(disk.path());
  journal.Start(1.0);
  constexpr int kLines = 600;  // a few pages of log each: well past the size that is folded
  for (int i = 0; i < kLines; ++i) journal.MarkDone(journal.Append(SampleLine("A01000123012:34.567\r")), true);
  // Without folding, every line would still be in the log and the file hold a page or two.
  EXPECT_GT(std::filesystem::file_size(disk.File("journal.sqlite")), 8u * 4096u);
  EXPECT_EQ(LinesInFile(disk.path()).size(), static_cast<std::size_t>(kLines));
}

TEST(JournalReaderTest, MissingJournalIsNamedAndNotCreated) {
  TemporaryFolder folder;
  for (const std::string& given : {folder.path(), folder.path() + "/"}) {
    try {
      JournalReader reader(given);
      ADD_FAILURE() << "opened a journal that is not there";
    } catch (const Error& error) {
      EXPECT_EQ(std::string(error.what()), "No journal in " + folder.path() + " (journal.sqlite)");
    }
  }
  EXPECT_FALSE(std::filesystem::exists(folder.File("journal.sqlite")));
}

}  // namespace
}  // namespace ln40
