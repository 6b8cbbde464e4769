#include "options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ln40::sim {
namespace {

using namespace std::chrono_literals;

TEST(Options, ReadsEveryOption) {
  const Options o = ParseOptions({"--script", "s.txt", "--rate=0.5", "--seed", "42", "--clock-start", "010:00.250",
                                  "--fast", "--ack-timeout", "250", "--settle=5", "--sent", "sent.txt", "--link",
                                  "/tmp/ln40", "--hangup-after", "3", "--stay", "--exit-when-done", "--linger", "700",
                                  "--noise-rate", "0.25", "--wait-for-program", "--pull-every", "60000",
                                  "--pull-for=1500"});
  EXPECT_EQ(o.script, "s.txt");
  EXPECT_EQ(o.count, std::nullopt);
  EXPECT_EQ(o.rate, 0.5);
  EXPECT_EQ(o.seed, 42u);
  EXPECT_EQ(o.clock_start, 600250ms);
  EXPECT_TRUE(o.fast);
  EXPECT_EQ(o.ack_timeout, 250ms);
  EXPECT_EQ(o.settle, 5ms);
  EXPECT_EQ(o.sent_file, "sent.txt");
  EXPECT_EQ(o.link, "/tmp/ln40");
  EXPECT_EQ(o.hangup_after, 3);
  EXPECT_TRUE(o.stay);
  EXPECT_TRUE(o.exit_when_done);
  EXPECT_EQ(o.linger, 700ms);
  EXPECT_EQ(o.noise_rate, 0.25);
  EXPECT_TRUE(o.wait_for_program);
  EXPECT_EQ(o.pull_every, 60000ms);
  EXPECT_EQ(o.pull_for, 1500ms);
  EXPECT_FALSE(o.help);
}

TEST(Options, DefaultsAndTheRateWithFast) {
  const Options o = ParseOptions({});
  EXPECT_EQ(o.count, std::nullopt) << "no end";
  EXPECT_EQ(o.ack_timeout, 1000ms);
  EXPECT_EQ(o.seed, 1u);
  EXPECT_FALSE(o.fast);
  EXPECT_EQ(o.EffectiveRate(), 2.0);
  EXPECT_EQ(ParseOptions({"--fast"}).EffectiveRate(), 0.0);
  EXPECT_EQ(ParseOptions({"--fast", "--rate", "5"}).EffectiveRate(), 5.0);
  EXPECT_EQ(ParseOptions({"--count", "0"}).count, 0);
}

TEST(Options, RefusesWhatItCannotUse) {
  const std::vector<std::vector<std::string>> cases = {
      {"--bogus"},
      {"extra"},
      {"--count"},
      {"--count", "x"},
      {"--count", "-1"},
      {"--count", "1000000"},  // the number field has six digits
      {"--rate", "-1"},
      {"--rate", "inf"},
      {"--rate", " 2"},
      {"--noise-rate", "1.5"},
      {"--ack-timeout", "0"},
      {"--clock-start", "12:34"},
      {"--fast=yes"},
      {"--script", "a", "--count", "3"},
      {"--stay"},
      {"--linger", "100"},
      {"--pull-every", "5000"},  // a pulled cable comes back behind --link only
      {"--pull-every", "0", "--link", "x"},
  };
  for (const auto& args : cases) {
    EXPECT_THROW(ParseOptions(args), UsageError) << args[0] << (args.size() > 1 ? " " + args[1] : "");
  }
}

TEST(Options, DropTakesAListOfMessageNumbers) {
  EXPECT_EQ(ParseOptions({"--drop", "17"}).drop, (std::set<std::int64_t>{17}));
  EXPECT_EQ(ParseOptions({"--drop=120,17,17"}).drop, (std::set<std::int64_t>{17, 120}));
  EXPECT_TRUE(ParseOptions({}).drop.empty());
  for (const char* bad : {"0", "", "3,", ",3", "a", "1000000", "-2"}) {
    EXPECT_THROW(ParseOptions({"--drop", bad}), UsageError) << bad;
  }
}

}  // namespace
}  // namespace ln40::sim
