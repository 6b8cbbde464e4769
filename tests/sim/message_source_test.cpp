#include "message_source.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace ln40::sim {
namespace {

using namespace std::chrono_literals;

std::vector<ScheduledMessage> Generate(GeneratorSettings settings) {
  MessageGenerator generator(settings);
  std::vector<ScheduledMessage> messages;
  while (auto message = generator.Next()) messages.push_back(*message);
  return messages;
}

TEST(ReaderClock, FormatsMinutesSecondsAndMilliseconds) {
  const struct {
    long long ms;
    const char* text;
  } cases[] = {
      {0, "000:00.000"},
      {754567, "012:34.567"},          // 12 min 34.567 s
      {59999999, "999:59.999"},        // the last value of the clock
      {60000000, "000:00.000"},        // 1000 minutes: the minutes start again
      {60000000 + 61001, "001:01.001"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatReaderClock(Millis{c.ms}), c.text) << c.ms;
    if (c.ms < 60000000) {
      EXPECT_EQ(ParseReaderClock(c.text), Millis{c.ms}) << c.text;
    }
  }
  for (const char* bad : {"", "12:34.567", "012:60.000", "012-34.567", "012:34,567", "0a2:34.567", "012:34.5678"}) {
    EXPECT_EQ(ParseReaderClock(bad), std::nullopt) << bad;
  }
}

TEST(MessageGenerator, MessagesFollowTheReaderLayoutAndAreUnique) {
  GeneratorSettings settings;
  settings.seed = 3;
  settings.count = 300;
  settings.rate = 4;
  settings.clock_start = 600000ms;  // 010:00.000
  const std::vector<ScheduledMessage> messages = Generate(settings);
  ASSERT_EQ(messages.size(), 300u);

  const std::regex layout("([ABCDF])01([0-9]{6})([0-9]{3}:[0-5][0-9]\\.[0-9]{3})");
  std::set<std::string> texts;
  std::map<char, int> kinds;
  Millis previous_clock = settings.clock_start;
  long previous_start_number = 0;
  for (std::size_t i = 0; i < messages.size(); ++i) {
    const std::string& text = messages[i].text;
    std::smatch m;
    ASSERT_TRUE(std::regex_match(text, m, layout)) << text;
    EXPECT_EQ(std::stol(m[2]), static_cast<long>(i + 1)) << "the number field counts every message: " << text;
    const char kind = text[0];
    ++kinds[kind];
    if (kind == 'A' || kind == 'B') {
      EXPECT_GT(std::stol(m[2]), previous_start_number) << text;
      previous_start_number = std::stol(m[2]);
    }
    const Millis clock = *ParseReaderClock(m[3].str());
    EXPECT_GT(clock, previous_clock) << "the reader clock rises: " << text;
    EXPECT_EQ(messages[i].due, clock - settings.clock_start) << "due when the reader recorded it: " << text;
    previous_clock = clock;
    texts.insert(text);
  }
  EXPECT_EQ(texts.size(), messages.size());
  EXPECT_EQ(kinds.size(), 5u);
  EXPECT_GT(kinds['A'] + kinds['B'], 150) << "mostly times with a start number";
  // Four messages a second on average.
  EXPECT_GT(messages.back().due, 60000ms);
  EXPECT_LT(messages.back().due, 90000ms);
}

TEST(MessageGenerator, EveryKindAppearsFromFiveMessagesOn) {
  for (std::uint64_t seed = 1; seed <= 200; ++seed) {
    GeneratorSettings settings;
    settings.seed = seed;
    settings.count = 5;
    std::set<char> kinds;
    for (const ScheduledMessage& message : Generate(settings)) kinds.insert(message.text[0]);
    EXPECT_EQ(kinds.size(), 5u) << "seed " << seed;
  }
}

TEST(MessageGenerator, SeedChoosesTheMessages) {
  GeneratorSettings settings;
  settings.count = 50;
  settings.seed = 11;
  const auto first = Generate(settings);
  const auto again = Generate(settings);
  settings.seed = 12;
  const auto other = Generate(settings);
  ASSERT_EQ(first.size(), again.size());
  bool same = true, differs = false;
  for (std::size_t i = 0; i < first.size(); ++i) {
    same = same && first[i].text == again[i].text && first[i].due == again[i].due;
    differs = differs || first[i].text != other[i].text;
  }
  EXPECT_TRUE(same);
  EXPECT_TRUE(differs);
}

TEST(MessageGenerator, RateZeroMakesEveryMessageDueAtOnceAndNoCountHasNoEnd) {
  GeneratorSettings settings;
  settings.rate = 0;
  MessageGenerator generator(settings);
  Millis previous_clock{-1};
  for (int i = 0; i < 2000; ++i) {
    const auto message = generator.Next();
    ASSERT_TRUE(message);
    EXPECT_EQ(message->due, 0ms);
    const Millis clock = *ParseReaderClock(message->text.substr(9));
    EXPECT_GT(clock, previous_clock);
    previous_clock = clock;
  }

  settings.count = 0;
  EXPECT_TRUE(Generate(settings).empty());
}

TEST(MessageList, SpacesTheMessagesByTheRate) {
  MessageList spaced({"a", "b", "c"}, 2);
  EXPECT_EQ(spaced.Next()->due, 0ms);
  EXPECT_EQ(spaced.Next()->due, 500ms);
  const auto last = spaced.Next();
  EXPECT_EQ(last->text, "c");
  EXPECT_EQ(last->due, 1000ms);
  EXPECT_EQ(spaced.Next(), std::nullopt);

  MessageList at_once({"a", "b"}, 0);
  EXPECT_EQ(at_once.Next()->due, 0ms);
  EXPECT_EQ(at_once.Next()->due, 0ms);
}

class ScriptFile : public testing::Test {
 protected:
  void Write(const std::string& content) {
    std::ofstream(path_, std::ios::binary) << content;
  }
  void TearDown() override { ::unlink(path_.c_str()); }
  const std::string path_ = testing::TempDir() + "ln40sim_script_" + std::to_string(::getpid()) + ".txt";
};

TEST_F(ScriptFile, OneMessagePerLineBlankLinesSkipped) {
  Write("A01001234012:34.567\r\n\n   \n\t\nE01001234012:34.567\n x y \n#\nlast");
  EXPECT_EQ(ReadScript(path_), (std::vector<std::string>{"A01001234012:34.567", "E01001234012:34.567", " x y ", "#",
                                                         "last"}));
  Write("");
  EXPECT_TRUE(ReadScript(path_).empty());
}

TEST_F(ScriptFile, UnreadableFileNamesTheFile) {
  const std::string missing = path_ + ".missing";
  try {
    ReadScript(missing);
    FAIL() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find(missing), std::string::npos) << error.what();
  }
  EXPECT_THROW(ReadScript(testing::TempDir()), std::runtime_error) << "a folder";
}

}  // namespace
}  // namespace ln40::sim
