// The agent's rotation: the countdown, the orders, the history, against real list and settings
// files.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "agent/logic/agent_settings.h"
#include "agent/logic/agent_texts.h"
#include "agent/logic/rotation.h"
#include "common/list_file.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "tests/support/test_support.h"

namespace vistrel {
namespace {

TEST(CountdownText, MinutesRoundHalvesToEvenSecondsBelowAMinute) {
  EXPECT_EQ(CountdownText(300), "Vistrel Agent [5 min]");
  EXPECT_EQ(CountdownText(299), "Vistrel Agent [5 min]");
  EXPECT_EQ(CountdownText(271), "Vistrel Agent [5 min]");
  EXPECT_EQ(CountdownText(270), "Vistrel Agent [4 min]") << "4.5 goes to the even 4";
  EXPECT_EQ(CountdownText(210), "Vistrel Agent [4 min]") << "3.5 goes to the even 4";
  EXPECT_EQ(CountdownText(209), "Vistrel Agent [3 min]");
  EXPECT_EQ(CountdownText(150), "Vistrel Agent [2 min]");
  EXPECT_EQ(CountdownText(90), "Vistrel Agent [2 min]");
  EXPECT_EQ(CountdownText(89), "Vistrel Agent [1 min]");
  EXPECT_EQ(CountdownText(60), "Vistrel Agent [1 min]");
  EXPECT_EQ(CountdownText(59), "Vistrel Agent [59 sec]");
  EXPECT_EQ(CountdownText(1), "Vistrel Agent [1 sec]");
  EXPECT_EQ(CountdownText(0), "Vistrel Agent [Paused]");
  EXPECT_EQ(CountdownText(-1), "Vistrel Agent [Paused]");
  // The largest interval the settings can hold, in seconds.
  EXPECT_EQ(CountdownText(std::int64_t{std::numeric_limits<std::int32_t>::max()} * 60),
            "Vistrel Agent [2147483647 min]");
}

TEST(RandomGenerator, SeedIsMillisecondsOfTheUtcDayAndDrawsFollowTheCongruence) {
  EXPECT_EQ(SeedFromClock({12, 34, 56, 789}), 45296789u);
  EXPECT_EQ(SeedFromClock({23, 59, 59, 999}), 86399999u);
  // Expected draws worked out separately from seed' = seed * 134775813 + 1 (mod 2^32) and
  // draw = (seed' * n) >> 32.
  std::uint32_t seed = 45296789;
  std::vector<std::uint32_t> draws;
  for (int i = 0; i < 6; ++i) draws.push_back(RandomBelow(seed, 3));
  EXPECT_EQ(draws, (std::vector<std::uint32_t>{1, 0, 1, 0, 2, 1}));
  seed = 0;
  EXPECT_EQ(RandomBelow(seed, 1000), 0u);
  EXPECT_EQ(RandomBelow(seed, 1000), 31u);
  EXPECT_EQ(RandomBelow(seed, 1000), 861u);
}

struct Balloon {
  std::string Title;
  std::string Text;
  std::uint32_t Flags;
  int Seconds;
};

class FakeHost : public RotationHost {
 public:
  std::vector<std::string> tooltips;
  std::vector<Balloon> balloons;
  std::vector<std::string> launches;  // file + " " + parameters
  std::vector<std::string> warnings;
  std::vector<std::string> existence_tests;
  std::set<std::string> existing;  // pretended files, besides the real ones
  bool screen_saver_running = false;
  bool away = false;
  int notification_state = 0;
  bool read_fails = false;
  int list_reads = 0;
  // Watched appliers: each start runs until running is false, then ends with the next code.
  bool watch = false;
  bool running = false;
  std::vector<std::uint32_t> exit_codes;
  std::uint32_t ms = 0;
  int stops = 0;
  ClockTime clock{12, 34, 56, 789};
  std::function<void()> on_launch;
  std::function<void()> on_warning;

  void SetTooltip(const std::string& text) override { tooltips.push_back(text); }
  void ShowBalloon(const std::string& title, const std::string& text, std::uint32_t flags,
                   int seconds) override {
    balloons.push_back({title, text, flags, seconds});
  }
  void Launch(const std::string& file, const std::string& parameters) override {
    launches.push_back(file + " " + parameters);
    if (on_launch) on_launch();
  }
  void ShowWarning(const std::string& text) override {
    warnings.push_back(text);
    if (on_warning) on_warning();
  }
  ApplierStart StartApplier(const std::string& file, const std::string& parameters) override {
    if (!watch) return RotationHost::StartApplier(file, parameters);
    launches.push_back(file + " " + parameters);
    running = true;
    return ApplierStart::kWatched;
  }
  bool WatchedApplierEnded(std::uint32_t& code) override {
    if (running) return false;
    code = 0;
    if (!exit_codes.empty()) {
      code = exit_codes.front();
      exit_codes.erase(exit_codes.begin());
    }
    return true;
  }
  void StopWatchedApplier() override { ++stops; }
  std::uint32_t Milliseconds() override { return ms; }
  bool ScreenSaverRunning() override { return screen_saver_running; }
  bool UserAway() override { return away; }
  ClockTime UtcTimeOfDay() override { return clock; }
  int UserNotificationState() override { return notification_state; }
  std::function<void()> on_file_check;
  bool FileExists(const std::string& path) override {
    existence_tests.push_back(path);
    if (on_file_check) on_file_check();
    return existing.count(path) > 0 || RotationHost::FileExists(path);
  }
  bool PathTooLong(const std::string& path) override { return too_long.count(path) > 0; }
  std::set<std::string> too_long;  // paths the pretended system refuses
  bool DirectoryExists(const std::string& path) override {
    for (const std::string& file : existing)
      if (file.rfind(path, 0) == 0) return true;
    return RotationHost::DirectoryExists(path);
  }
  bool ReadList(const std::string& path, std::vector<std::string>& lines) override {
    ++list_reads;
    if (read_fails) return false;
    return RotationHost::ReadList(path, lines);
  }
};

constexpr const char kViewer[] = "C:\\Vistrel\\vistrel.exe";

class RotationTest : public testing::Test {
 protected:
  void Init(const std::string& name) {
    dir_ = test::FreshDir("rotation_" + name);
    rotation_ = std::make_unique<Rotation>(host_, Settings(dir_ + "vistrel.ini"));
    State().ListPath = dir_ + "list.txt";
    State().ViewerPath = kViewer;
    host_.existing.insert(kViewer);
  }
  RotationState& State() { return rotation_->state; }
  void WriteList(const std::string& text) { test::WriteBytes(State().ListPath, text); }
  // A list of entries "1C:\p\N.jpg" for N = 1..count, all pretended to exist.
  void InitWithEntries(const std::string& name, int count) {
    Init(name);
    WriteExistingEntries(count);
  }
  void WriteExistingEntries(int count) {
    std::string text;
    for (int n = 1; n <= count; ++n) {
      std::string path = "C:\\p\\" + std::to_string(n) + ".jpg";
      host_.existing.insert(path);
      text += "1" + path + "\r\n";
    }
    WriteList(text);
  }
  std::string Launched(int n) {
    return std::string(kViewer) + " \"1C:\\p\\" + std::to_string(n) + ".jpg\"";
  }
  std::string StoredLastIndex() {
    return ProfileReadString(dir_ + "vistrel.ini", "Settings", "LastIndex", "<none>");
  }

  FakeHost host_;
  std::string dir_;
  std::unique_ptr<Rotation> rotation_;
};

TEST_F(RotationTest, CountsDownInTheTooltipAndChangesWhenTheIntervalRunsOut) {
  InitWithEntries("countdown", 2);
  State().Interval = 5;
  rotation_->OnRotationTick();
  EXPECT_EQ(host_.tooltips.back(), "Vistrel Agent [5 min]") << "299 seconds left";
  for (int i = 0; i < 29; ++i) rotation_->OnRotationTick();
  EXPECT_EQ(host_.tooltips.back(), "Vistrel Agent [4 min]") << "270 left";
  for (int i = 0; i < 60; ++i) rotation_->OnRotationTick();
  EXPECT_EQ(host_.tooltips.back(), "Vistrel Agent [4 min]") << "210 left";
  rotation_->OnRotationTick();
  EXPECT_EQ(host_.tooltips.back(), "Vistrel Agent [3 min]") << "209 left";
  for (int i = 0; i < 149; ++i) rotation_->OnRotationTick();
  EXPECT_EQ(host_.tooltips.back(), "Vistrel Agent [1 min]") << "60 left";
  rotation_->OnRotationTick();
  EXPECT_EQ(host_.tooltips.back(), "Vistrel Agent [59 sec]");
  EXPECT_EQ(host_.tooltips.size(), 241u) << "every counting tick sends the tooltip";
  for (int i = 0; i < 58; ++i) rotation_->OnRotationTick();
  EXPECT_TRUE(host_.launches.empty());
  rotation_->OnRotationTick();
  EXPECT_EQ(host_.tooltips.back(), "Vistrel Agent [Paused]") << "the changing tick";
  ASSERT_EQ(host_.launches, std::vector<std::string>{Launched(2)}) << "LastIndex 1 -> line 2";
  EXPECT_EQ(State().ElapsedSeconds, 0);
  rotation_->OnRotationTick();
  EXPECT_EQ(host_.tooltips.back(), "Vistrel Agent [5 min]") << "a new countdown";
}

TEST_F(RotationTest, TheScreenSaverRuleHoldsWhileASaverRunsOrNobodyCanSee) {
  InitWithEntries("screen_saver", 2);
  State().Interval = 1;
  // Whether screen saving is switched on in the system no longer matters: the countdown runs.
  for (int i = 0; i < 30; ++i) rotation_->OnRotationTick();
  EXPECT_EQ(State().ElapsedSeconds, 30);
  const std::size_t tooltips = host_.tooltips.size();
  for (bool saver : {true, false}) {
    host_.screen_saver_running = saver;
    host_.away = !saver;  // locked, or the display off
    for (int i = 0; i < 100; ++i) rotation_->OnRotationTick();
    EXPECT_EQ(State().ElapsedSeconds, 30) << (saver ? "a screen saver runs" : "nobody can see");
  }
  EXPECT_EQ(host_.tooltips.size(), tooltips) << "the tooltip is not refreshed either";

  // Unticked, the countdown runs on, but nothing is changed for nobody: the change waits.
  State().DisableOnScreenSaver = false;
  for (int i = 0; i < 100; ++i) rotation_->OnRotationTick();
  EXPECT_TRUE(host_.launches.empty());
  EXPECT_EQ(State().ElapsedSeconds, 60) << "due, not counted beyond";
  host_.away = false;
  rotation_->OnRotationTick();
  EXPECT_EQ(host_.launches, std::vector<std::string>{Launched(2)}) << "at the user's return";

  // "Next" changes at once even while the rule holds the countdown.
  State().DisableOnScreenSaver = true;
  host_.screen_saver_running = true;
  rotation_->NextNow();
  EXPECT_EQ(host_.launches.size(), 2u);
  EXPECT_EQ(State().ElapsedSeconds, 0);
}

TEST_F(RotationTest, FullScreenProgramsHoldTheCountdownLikeTheScreenSaverRule) {
  InitWithEntries("quiet", 2);
  State().Interval = 1;
  State().DisableOnScreenSaver = false;  // the hold does not depend on the screen-saver switch
  // 1 (screen saver, locked) and 5 to 7 are not a full-screen program or a presentation.
  for (int state : {0, 1, 5, 6, 7}) {
    host_.notification_state = state;
    rotation_->OnRotationTick();
  }
  EXPECT_EQ(State().ElapsedSeconds, 5);
  const std::size_t tooltips = host_.tooltips.size();
  for (int state : {2, 3, 4}) {
    host_.notification_state = state;
    for (int i = 0; i < 100; ++i) rotation_->OnRotationTick();
    EXPECT_EQ(State().ElapsedSeconds, 5) << "held while the shell reports " << state;
  }
  EXPECT_EQ(host_.tooltips.size(), tooltips) << "nor is the tooltip refreshed";
  EXPECT_TRUE(host_.launches.empty());
  rotation_->NextNow();
  EXPECT_EQ(host_.launches.size(), 1u) << "Next changes at once all the same";
  host_.notification_state = 5;
  rotation_->OnRotationTick();
  EXPECT_EQ(State().ElapsedSeconds, 1) << "and the countdown goes on after";
  EXPECT_TRUE(ShellWantsQuiet(2) && ShellWantsQuiet(3) && ShellWantsQuiet(4));
  EXPECT_FALSE(ShellWantsQuiet(0) || ShellWantsQuiet(1) || ShellWantsQuiet(5));
}

TEST_F(RotationTest, PreviousGoesBackThroughTheHistoryWhichIsKeptInItsFile) {
  Init("previous");
  State().history_path = dir_ + "history.txt";
  State().RememberLast = false;
  WriteExistingEntries(30);
  EXPECT_FALSE(rotation_->PreviousNow()) << "nothing shown yet";
  for (int i = 0; i < 25; ++i) rotation_->NextNow();  // lines 2 to 26
  ASSERT_EQ(State().LastIndex, 26);

  // A restart: the history comes from its file.
  Rotation restarted(host_, Settings(dir_ + "vistrel.ini"));
  restarted.state = State();
  restarted.state.history.clear();
  restarted.LoadHistory();
  ASSERT_EQ(restarted.state.history.size(), 25u);
  host_.launches.clear();
  State().ElapsedSeconds = 17;
  restarted.state.ElapsedSeconds = 17;
  for (int back = 25; back >= 6; --back) {
    ASSERT_TRUE(restarted.PreviousNow()) << back;
    EXPECT_EQ(host_.launches.back(), Launched(back));
    EXPECT_EQ(restarted.state.LastIndex, back);
    EXPECT_EQ(restarted.state.ElapsedSeconds, 0);
  }
  EXPECT_EQ(host_.launches.size(), 20u) << "at least 20 changes back";

  // A picture removed since is passed over; the list order goes on from the one put back.
  host_.existing.erase("C:\\p\\4.jpg");
  ASSERT_TRUE(restarted.PreviousNow());
  EXPECT_EQ(host_.launches.back(), Launched(5));
  ASSERT_TRUE(restarted.PreviousNow());
  EXPECT_EQ(host_.launches.back(), Launched(3));
  restarted.NextNow();
  EXPECT_EQ(host_.launches.back(), Launched(5)) << "line 4 is gone: the next existing one";
  ASSERT_TRUE(restarted.PreviousNow());
  EXPECT_EQ(host_.launches.back(), Launched(3));
  ASSERT_TRUE(restarted.PreviousNow());
  EXPECT_EQ(host_.launches.back(), Launched(2));
  EXPECT_FALSE(restarted.PreviousNow()) << "the oldest one kept";
  EXPECT_EQ(ParseHistory({}).size(), 0u);
}

TEST(History, FileLinesAreReadSafelyAndCutToTheLength) {
  const std::vector<std::string> lines = {
      "3\t1C:\\a.jpg", "\t1C:\\nonumber.jpg", "x\t1C:\\b.jpg", "12", "99999999999\t1C:\\big.jpg",
      "4\t",           "7\t2C:\\tab\tin.jpg"};
  const std::vector<HistoryItem> items = ParseHistory(lines);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].index, 3);
  EXPECT_EQ(items[0].entry, "1C:\\a.jpg");
  EXPECT_EQ(items[1].entry, "2C:\\tab\tin.jpg");
  EXPECT_EQ(ParseHistory(FormatHistory(items)).size(), 2u);
  std::vector<std::string> many;
  for (int i = 1; i <= 100; ++i) many.push_back(std::to_string(i) + "\t1C:\\" + std::to_string(i));
  const std::vector<HistoryItem> kept = ParseHistory(many);
  ASSERT_EQ(kept.size(), kHistoryLength);
  EXPECT_EQ(kept.back().index, 100) << "the newest are kept";
}

TEST_F(RotationTest, SequentialOrderWrapsAfterTheLastLineAndWhenTheListShrank) {
  InitWithEntries("sequential", 3);
  const std::pair<std::int32_t, int> cases[] = {{3, 1}, {7, 1}, {1, 2}, {2, 3}, {0, 1}, {-4, 1}};
  for (auto [last, expected] : cases) {
    host_.launches.clear();
    State().LastIndex = last;
    rotation_->NextNow();
    ASSERT_EQ(host_.launches.size(), 1u) << "LastIndex " << last;
    EXPECT_EQ(host_.launches[0], Launched(expected)) << "LastIndex " << last;
    EXPECT_EQ(State().LastIndex, expected);
    EXPECT_EQ(StoredLastIndex(), std::to_string(expected));
  }
}

TEST_F(RotationTest, RandomOrderFollowsTheClockSeededGeneratorAndNeverRepeats) {
  Init("random");
  State().RandomWallpaper = true;
  State().RememberLast = false;  // no settings file rewrite per change: the loop below is long
  WriteExistingEntries(3);
  // Seeded from 12:34:56.789 before the choice: first draw 1, so line 2.
  State().LastIndex = 0;
  rotation_->NextNow();
  EXPECT_EQ(host_.launches.back(), Launched(2));
  // The same clock and LastIndex 2: the first draw repeats line 2, the second (0) gives line 1.
  rotation_->NextNow();
  EXPECT_EQ(host_.launches.back(), Launched(1)) << "the generator is seeded again per choice";

  WriteExistingEntries(5);
  host_.clock = {23, 59, 59, 999};
  rotation_->NextNow();
  EXPECT_EQ(State().LastIndex, 4) << "draw 3 of 5";

  for (int i = 0; i < 100; ++i) {
    std::int32_t before = State().LastIndex;
    host_.clock.milliseconds = static_cast<unsigned>(i * 37 % 1000);
    host_.clock.second = static_cast<unsigned>(i % 60);
    rotation_->NextNow();
    EXPECT_NE(State().LastIndex, before);
    EXPECT_GE(State().LastIndex, 1);
    EXPECT_LE(State().LastIndex, 5);
  }
}

TEST_F(RotationTest, RandomOrderWithOneOrTwoLines) {
  Init("random_small");
  State().RandomWallpaper = true;
  State().RememberLast = false;
  WriteExistingEntries(1);
  for (int i = 0; i < 20; ++i) {
    host_.clock.milliseconds = static_cast<unsigned>(i * 53);
    rotation_->NextNow();
    EXPECT_EQ(State().LastIndex, 1) << "one line is taken even though it was the last";
  }
  EXPECT_EQ(host_.launches.size(), 20u);

  WriteExistingEntries(2);
  std::int32_t before = State().LastIndex;
  for (int i = 0; i < 20; ++i) {
    host_.clock.milliseconds = static_cast<unsigned>(i * 53);
    rotation_->NextNow();
    EXPECT_EQ(State().LastIndex, 3 - before) << "two lines alternate strictly";
    before = State().LastIndex;
  }
}

TEST(Shuffle, OrderIsAPermutationFromTheSeed) {
  for (std::int32_t count : {1, 2, 7, 50}) {
    std::vector<std::int32_t> order = ShuffleOrder(4242, count);
    EXPECT_EQ(order, ShuffleOrder(4242, count)) << "the same seed, the same order";
    std::sort(order.begin(), order.end());
    for (std::int32_t i = 0; i < count; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], i + 1);
  }
  EXPECT_NE(ShuffleOrder(1, 50), ShuffleOrder(2, 50));
  EXPECT_TRUE(ShuffleOrder(1, 0).empty());
  EXPECT_NE(ListCheck({"1C:\\a.jpg", "1C:\\b.jpg"}), ListCheck({"1C:\\b.jpg", "1C:\\a.jpg"}));
  EXPECT_NE(ListCheck({"1C:\\a.jpg"}), ListCheck({"2C:\\a.jpg"}));
  EXPECT_NE(ListCheck({"ab", "c"}), ListCheck({"a", "bc"}));
}

TEST_F(RotationTest, ShuffleShowsEveryLineOncePerRoundAcrossRestartsAndListChanges) {
  Init("shuffle");
  const std::string ini = dir_ + "vistrel.ini";
  test::WriteBytes(ini, "[Settings]\r\nRandomWallpaper=2\r\nRememberLast=0\r\n");
  LoadSettings(Settings(ini), State());
  State().ListPath = dir_ + "list.txt";
  State().ViewerPath = kViewer;
  ASSERT_TRUE(State().shuffle);
  ASSERT_TRUE(State().RandomWallpaper);
  WriteExistingEntries(6);

  auto shown = [this](int changes) {
    std::vector<std::int32_t> lines;
    for (int i = 0; i < changes; ++i) {
      host_.clock.milliseconds = static_cast<unsigned>((host_.clock.milliseconds + 97) % 1000);
      rotation_->NextNow();
      lines.push_back(State().LastIndex);
    }
    return lines;
  };
  auto sorted = [](std::vector<std::int32_t> v) {
    std::sort(v.begin(), v.end());
    return v;
  };
  const std::vector<std::int32_t> all{1, 2, 3, 4, 5, 6};
  std::int32_t previous = 0;
  for (int round = 0; round < 4; ++round) {
    std::vector<std::int32_t> lines = shown(6);
    EXPECT_EQ(sorted(lines), all) << "round " << round;
    EXPECT_NE(lines.front(), previous) << "no line twice in a row across rounds";
    previous = lines.back();
  }
  EXPECT_EQ(host_.launches.size(), 24u);

  // Three of a round, then the agent restarts: the other three follow, then a new round.
  std::vector<std::int32_t> first = shown(3);
  Rotation restarted(host_, Settings(ini));
  LoadSettings(Settings(ini), restarted.state);
  restarted.state.ListPath = State().ListPath;
  restarted.state.ViewerPath = kViewer;
  EXPECT_EQ(restarted.state.shuffle_position, 3);
  std::vector<std::int32_t> rest;
  for (int i = 0; i < 3; ++i) {
    host_.clock.second = static_cast<unsigned>(i + 7);  // a new seed would show
    restarted.NextNow();
    rest.push_back(restarted.state.LastIndex);
  }
  first.insert(first.end(), rest.begin(), rest.end());
  EXPECT_EQ(sorted(first), all) << "the round went on where it stopped";

  // A changed list starts a new round at once: the next 7 changes show all 7 lines.
  rotation_ = std::make_unique<Rotation>(host_, Settings(ini));
  LoadSettings(Settings(ini), State());
  State().ListPath = dir_ + "list.txt";
  State().ViewerPath = kViewer;
  shown(2);
  WriteExistingEntries(7);
  EXPECT_EQ(sorted(shown(7)), (std::vector<std::int32_t>{1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(State().shuffle_position, 7);
}

TEST_F(RotationTest, ShuffleSkipsMissingFilesWithinTheTickAndEndsWhenAllAreGone) {
  Init("shuffle_missing");
  State().shuffle = State().RandomWallpaper = true;
  State().RememberLast = false;
  WriteList("1C:\\gone\\a.jpg\r\n1C:\\p\\2.jpg\r\n1C:\\gone\\c.jpg\r\n");
  host_.existing.insert("C:\\p\\2.jpg");
  rotation_->NextNow();
  EXPECT_EQ(host_.launches, std::vector<std::string>{Launched(2)});
  WriteList("1C:\\gone\\a.jpg\r\n1C:\\gone\\c.jpg\r\n");
  rotation_->NextNow();
  EXPECT_EQ(host_.launches.size(), 1u) << "no change, and the tick ends";
}

TEST_F(RotationTest, EntryIsTestedWithoutItsLetterLaunchedQuotedAndNamedInTheBalloon) {
  Init("entry");
  host_.existing.insert("C:\\pics\\a.jpg");
  WriteList("2C:\\pics\\a.jpg");  // the last line has no line end
  State().LastIndex = 1;
  rotation_->NextNow();
  EXPECT_NE(
      std::find(host_.existence_tests.begin(), host_.existence_tests.end(), "C:\\pics\\a.jpg"),
      host_.existence_tests.end());
  ASSERT_EQ(host_.launches,
            std::vector<std::string>{std::string(kViewer) + " \"2C:\\pics\\a.jpg\""});
  ASSERT_EQ(host_.balloons.size(), 1u);
  EXPECT_EQ(host_.balloons[0].Title, "New wallpaper:");
  EXPECT_EQ(host_.balloons[0].Text, "a.jpg");
  EXPECT_EQ(host_.balloons[0].Flags, 1u);
  EXPECT_EQ(host_.balloons[0].Seconds, 3);

  State().ShowBaloonOnChange = false;
  rotation_->NextNow();
  EXPECT_EQ(host_.launches.size(), 2u);
  EXPECT_EQ(host_.balloons.size(), 1u);
}

TEST_F(RotationTest, LastIndexIsStoredBeforeTheLaunchOnlyWhenRemembered) {
  InitWithEntries("remember", 3);
  std::string stored_at_launch;
  host_.on_launch = [&] { stored_at_launch = StoredLastIndex(); };
  rotation_->NextNow();
  EXPECT_EQ(stored_at_launch, "2");

  test::WriteBytes(dir_ + "vistrel.ini", "");
  State().RememberLast = false;
  rotation_->NextNow();
  EXPECT_EQ(host_.launches.size(), 2u);
  EXPECT_EQ(State().LastIndex, 3) << "kept in memory";
  EXPECT_EQ(test::ReadBytes(dir_ + "vistrel.ini"), "") << "nothing written";
}

TEST_F(RotationTest, MissingFilesAreSkippedWithinTheTickAndAllMissingEndsIt) {
  Init("missing");
  host_.existing.insert("C:\\p\\3.jpg");
  WriteList("1C:\\p\\1.jpg\r\n1C:\\p\\2.jpg\r\n1C:\\p\\3.jpg\r\n");
  rotation_->NextNow();  // LastIndex 1: line 2 is missing, so line 3
  EXPECT_EQ(host_.launches, std::vector<std::string>{Launched(3)});
  EXPECT_TRUE(host_.tooltips.empty()) << "a retry is not counted as a second";
  EXPECT_EQ(State().ElapsedSeconds, 0);

  host_.launches.clear();
  host_.existing.erase("C:\\p\\3.jpg");
  host_.existence_tests.clear();
  rotation_->NextNow();
  EXPECT_TRUE(host_.launches.empty());
  int image_tests = 0;
  for (const std::string& path : host_.existence_tests)
    image_tests += path.find(".jpg") != std::string::npos;
  EXPECT_LE(image_tests, 3) << "at most one try per line, then an interval without a change";
  EXPECT_EQ(State().ElapsedSeconds, 0);

  host_.existence_tests.clear();
  State().RandomWallpaper = true;
  rotation_->NextNow();
  EXPECT_TRUE(host_.launches.empty());
  EXPECT_LE(host_.existence_tests.size(), 6u);
}

TEST_F(RotationTest, LineRulesDecideWhatCounts) {
  Init("lines");
  host_.existing.insert("C:\\p\\x.jpg\n2C:\\p\\y.jpg");
  // LF alone does not end a line: one entry whose path holds the LF.
  WriteList("1C:\\p\\x.jpg\n2C:\\p\\y.jpg\n");
  State().LastIndex = 5;
  rotation_->NextNow();
  EXPECT_EQ(State().LastIndex, 1);
  EXPECT_TRUE(host_.launches.empty()) << "the LF stays in the path and the line ends with one";

  host_.existing.insert("C:\\p\\x.jpg\n2C:\\p\\y.jpg\n");
  rotation_->NextNow();
  EXPECT_EQ(host_.launches,
            std::vector<std::string>{std::string(kViewer) + " \"1C:\\p\\x.jpg\n2C:\\p\\y.jpg\n\""});

  // A Ctrl-Z ends the list; an empty line is no change.
  host_.launches.clear();
  WriteExistingEntries(1);
  test::WriteBytes(State().ListPath,
                   "1C:\\p\\1.jpg\r\n\r\n\x1a"
                   "1C:\\p\\1.jpg\r\n1C:\\p\\1.jpg\r\n");
  State().LastIndex = 1;
  rotation_->NextNow();
  EXPECT_EQ(State().LastIndex, 2);
  EXPECT_TRUE(host_.launches.empty()) << "line 2 is empty";
  rotation_->NextNow();
  EXPECT_EQ(State().LastIndex, 1) << "two lines before the Ctrl-Z";
  EXPECT_EQ(host_.launches.size(), 1u);
}

TEST_F(RotationTest, MissingEmptyOrUnreadableListIsAnIntervalWithoutAChange) {
  Init("list_missing");
  rotation_->NextNow();
  EXPECT_TRUE(FileExists(State().ListPath)) << "created";
  EXPECT_EQ(test::ReadBytes(State().ListPath), "");
  rotation_->NextNow();  // empty now
  EXPECT_TRUE(host_.launches.empty());
  EXPECT_EQ(State().ElapsedSeconds, 0);

  WriteExistingEntries(2);
  host_.read_fails = true;
  rotation_->NextNow();
  EXPECT_TRUE(host_.launches.empty());
  EXPECT_EQ(State().ElapsedSeconds, 0);
  EXPECT_TRUE(host_.warnings.empty());

  // A folder where the list should be: nothing can be created or read, nothing crashes.
  host_.read_fails = false;
  State().ListPath = dir_;
  rotation_->NextNow();
  EXPECT_TRUE(host_.launches.empty());
}

TEST_F(RotationTest, APathTheSystemRefusesForItsLengthIsSaidOnceAndPassedOver) {
  Init("too_long");
  const std::string long1 = "C:\\" + std::string(300, 'a') + ".jpg";
  const std::string long2 = "C:\\" + std::string(300, 'b') + ".jpg";
  host_.too_long = {long1, long2};
  host_.existing.insert("C:\\p\\3.jpg");
  WriteList("1" + long1 + "\r\n1" + long2 + "\r\n1C:\\p\\3.jpg\r\n");
  State().LastIndex = 0;
  rotation_->NextNow();
  EXPECT_EQ(host_.warnings, std::vector<std::string>{PathTooLongText(long1)}) << "one box";
  EXPECT_EQ(host_.launches, std::vector<std::string>{Launched(3)});
}

TEST_F(RotationTest, MissingApplierWarnsAndStoresNothing) {
  InitWithEntries("no_viewer", 2);
  State().ViewerPath = "no_such_vistrel.exe";  // relative: resolved in the working folder
  rotation_->NextNow();
  EXPECT_EQ(host_.warnings, std::vector<std::string>{
                                "Cannot find \"no_such_vistrel.exe\" - cannot change wallpaper."});
  EXPECT_TRUE(host_.launches.empty());
  EXPECT_TRUE(host_.balloons.empty());
  EXPECT_EQ(State().LastIndex, 2) << "moved on in memory";
  EXPECT_FALSE(FileExists(dir_ + "vistrel.ini"));
}

TEST_F(RotationTest, RelativeApplierIsLookedForBesideTheAgent) {
  InitWithEntries("viewer_beside", 2);
  State().ViewerPath = "vistrel.exe";
  State().viewer_directory = "C:\\Program Files\\Vistrel\\";
  host_.existing.insert("C:\\Program Files\\Vistrel\\vistrel.exe");
  rotation_->NextNow();
  EXPECT_TRUE(host_.warnings.empty()) << "found beside the agent, not in the working folder";
  EXPECT_EQ(host_.launches,
            std::vector<std::string>{"C:\\Program Files\\Vistrel\\vistrel.exe \"1C:\\p\\2.jpg\""});
  // An absolute path stays as it is.
  State().ViewerPath = kViewer;
  rotation_->NextNow();
  EXPECT_EQ(host_.launches.back(), Launched(1));
}

TEST_F(RotationTest, RandomRetriesNeverDrawALineAgainWithinATick) {
  Init("random_retries");
  // 10 lines, 4 of whose files are gone.
  std::string text;
  const std::set<int> gone = {2, 5, 7, 9};
  for (int n = 1; n <= 10; ++n) {
    std::string path = "C:\\p\\" + std::to_string(n) + ".jpg";
    if (!gone.count(n)) host_.existing.insert(path);
    text += "1" + path + "\r\n";
  }
  WriteList(text);
  State().RandomWallpaper = true;
  // Within a tick the clock stands still, as it does on a real machine for such a short time.
  int changes = 0;
  for (unsigned ms = 0; ms < 400; ++ms) {
    host_.clock = ClockTime{10, ms / 60, ms % 60, ms * 7 % 1000};
    const std::int32_t before = State().LastIndex;
    const std::size_t launched = host_.launches.size();
    host_.existence_tests.clear();
    rotation_->NextNow();
    ASSERT_EQ(host_.launches.size(), launched + 1) << "a change at clock " << ms;
    ++changes;
    EXPECT_FALSE(gone.count(State().LastIndex));
    EXPECT_NE(State().LastIndex, before) << "never the same entry twice in a row";
    std::set<std::string> tested;
    for (const std::string& path : host_.existence_tests) {
      if (path.find("\\p\\") == std::string::npos) continue;
      EXPECT_TRUE(tested.insert(path).second) << path << " tried twice in one tick";
    }
  }
  EXPECT_EQ(changes, 400);
}

TEST_F(RotationTest, RandomModeWithEveryOtherFileGoneMakesNoChangeAndEnds) {
  Init("random_all_gone");
  WriteList("1C:\\gone\\a.jpg\r\n1C:\\gone\\b.jpg\r\n1C:\\gone\\c.jpg\r\n");
  State().RandomWallpaper = true;
  rotation_->NextNow();
  EXPECT_TRUE(host_.launches.empty());
  std::size_t picture_tests = 0;
  for (const std::string& path : host_.existence_tests)
    if (path.rfind("C:\\gone\\", 0) == 0) ++picture_tests;
  EXPECT_LE(picture_tests, 3u) << "each line at most once";
}

TEST_F(RotationTest, OneBoxAtATimeAndTheTimersProblemsGoToOneBalloon) {
  InitWithEntries("nested", 2);
  State().ViewerPath = "C:\\nowhere\\vistrel.exe";
  State().Interval = 1;
  host_.on_warning = [&] {
    // A modal box runs the message loop: presses of Next and an interval of ticks arrive.
    for (int i = 0; i < 50; ++i) rotation_->NextNow();
    for (int i = 0; i < 130; ++i) rotation_->OnRotationTick();
  };
  rotation_->NextNow();
  EXPECT_EQ(host_.warnings.size(), 1u) << "no box inside the box";
  ASSERT_EQ(host_.balloons.size(), 1u) << "the ticks' changes say it once, in a balloon";
  EXPECT_EQ(host_.balloons[0].Title, "Warning");
  EXPECT_EQ(host_.balloons[0].Text,
            "Cannot find \"C:\\nowhere\\vistrel.exe\" - cannot change wallpaper.");
  EXPECT_EQ(host_.balloons[0].Flags, 2u);
  host_.on_warning = nullptr;
  for (int i = 0; i < 60; ++i) rotation_->OnRotationTick();
  EXPECT_EQ(host_.balloons.size(), 1u) << "not again every interval";
  rotation_->NextNow();
  EXPECT_EQ(host_.warnings.size(), 1u) << "a press still queued when the box closed";
  host_.ms = kRepeatWarningMs;
  rotation_->NextNow();
  EXPECT_EQ(host_.warnings.size(), 2u) << "a later press asks again";
  EXPECT_TRUE(host_.launches.empty());
}

TEST_F(RotationTest, TheChangeIsRecordedWhenTheApplierSaysItIsDone) {
  InitWithEntries("watched", 4);
  State().history_path = dir_ + "history.txt";
  host_.watch = true;
  rotation_->NextNow();
  ASSERT_EQ(host_.launches, std::vector<std::string>{Launched(2)});
  for (int i = 0; i < 5; ++i) rotation_->PollChange();
  EXPECT_TRUE(rotation_->ChangePending());
  EXPECT_TRUE(host_.balloons.empty()) << "nothing said before the picture is shown";
  EXPECT_TRUE(State().history.empty());
  host_.running = false;
  rotation_->PollChange();
  EXPECT_FALSE(rotation_->ChangePending());
  ASSERT_EQ(host_.balloons.size(), 1u);
  EXPECT_EQ(host_.balloons[0].Title, "New wallpaper:");
  EXPECT_EQ(State().history.size(), 1u);

  // Damaged (4), then unsupported (3): each is skipped for the next entry, named once.
  host_.exit_codes = {4, 3, 0};
  host_.balloons.clear();
  rotation_->NextNow();
  for (int i = 0; i < 3; ++i) {
    host_.running = false;
    rotation_->PollChange();
  }
  EXPECT_EQ(host_.launches,
            (std::vector<std::string>{Launched(2), Launched(3), Launched(4), Launched(1)}));
  ASSERT_EQ(host_.balloons.size(), 3u);
  EXPECT_EQ(host_.balloons[0].Title, "Picture skipped:");
  EXPECT_EQ(host_.balloons[0].Text, "3.jpg");
  EXPECT_EQ(host_.balloons[1].Text, "4.jpg");
  EXPECT_EQ(host_.balloons[2].Title, "New wallpaper:");
  EXPECT_EQ(State().history.back().index, 1);

  // Not the picture's fault (the wallpaper file cannot be written): said, and no other tried.
  host_.exit_codes = {5};
  host_.balloons.clear();
  rotation_->NextNow();
  host_.running = false;
  rotation_->PollChange();
  EXPECT_EQ(host_.launches.size(), 5u);
  ASSERT_EQ(host_.balloons.size(), 1u);
  EXPECT_EQ(host_.balloons[0].Title, "Wallpaper not changed:");
  EXPECT_EQ(State().history.back().index, 1);

  // A list whose every picture is refused ends after one try each.
  host_.exit_codes = {4, 4, 4, 4, 4, 4};
  rotation_->NextNow();
  for (int i = 0; i < 6; ++i) {
    host_.running = false;
    rotation_->PollChange();
  }
  EXPECT_EQ(host_.launches.size(), 9u);
  EXPECT_FALSE(rotation_->ChangePending());
}

TEST_F(RotationTest, PressesOfNextDuringAChangeLeadToTheLastOneAndAHungApplierIsEnded) {
  InitWithEntries("queued", 5);
  host_.watch = true;
  State().LastIndex = 0;
  for (int i = 0; i < 3; ++i) rotation_->NextNow();
  EXPECT_EQ(host_.launches, std::vector<std::string>{Launched(1)});
  host_.running = false;
  rotation_->PollChange();
  EXPECT_EQ(host_.launches, (std::vector<std::string>{Launched(1), Launched(3)}))
      << "the third press shows the third picture";
  EXPECT_TRUE(rotation_->ChangePending());

  host_.ms = kApplierTimeoutMs - 1;
  rotation_->PollChange();
  EXPECT_EQ(host_.stops, 0);
  host_.ms = kApplierTimeoutMs;
  rotation_->PollChange();
  EXPECT_EQ(host_.stops, 1);
  EXPECT_FALSE(rotation_->ChangePending());
  EXPECT_EQ(host_.balloons.back().Title, "Wallpaper not changed:");
}

TEST_F(RotationTest, ANewScreenSizeAppliesAScaledWallpaperAgainOncePerChange) {
  Init("screen_size");
  host_.existing = {kViewer, "C:\\p\\wide.jpg", "C:\\p\\small.jpg"};
  WriteList("3C:\\p\\wide.jpg\r\n1C:\\p\\small.jpg\r\n");
  const std::string stretched = std::string(kViewer) + " \"3C:\\p\\wide.jpg\"";
  const std::string centred = std::string(kViewer) + " \"1C:\\p\\small.jpg\"";
  host_.watch = true;
  State().LastIndex = 0;
  rotation_->ScreenSizeIs(1920, 1080);
  rotation_->ScreenSizeIs(1280, 1024);
  EXPECT_TRUE(host_.launches.empty()) << "nothing shown yet";

  rotation_->NextNow();
  host_.running = false;
  rotation_->PollChange();
  ASSERT_EQ(host_.launches, std::vector<std::string>{stretched});
  State().ElapsedSeconds = 42;
  host_.balloons.clear();
  rotation_->ScreenSizeIs(1280, 1024);
  rotation_->ScreenSizeIs(0, 0);
  EXPECT_EQ(host_.launches.size(), 1u) << "the same size again, or none";
  rotation_->ScreenSizeIs(2560, 1440);
  ASSERT_EQ(host_.launches, (std::vector<std::string>{stretched, stretched}));
  // Changed while the applier runs: once more when it ends.
  rotation_->ScreenSizeIs(1920, 1080);
  EXPECT_EQ(host_.launches.size(), 2u);
  host_.running = false;
  rotation_->PollChange();
  EXPECT_EQ(host_.launches, (std::vector<std::string>{stretched, stretched, stretched}));
  host_.running = false;
  rotation_->PollChange();
  EXPECT_FALSE(rotation_->ChangePending());
  EXPECT_EQ(State().ElapsedSeconds, 42) << "the countdown goes on";
  EXPECT_EQ(State().LastIndex, 1);
  EXPECT_EQ(State().history.size(), 1u);
  EXPECT_TRUE(host_.balloons.empty());

  // A centred picture keeps its own pixels whatever the screen.
  rotation_->NextNow();
  host_.running = false;
  rotation_->PollChange();
  EXPECT_EQ(host_.launches.back(), centred);
  rotation_->ScreenSizeIs(800, 600);
  EXPECT_EQ(host_.launches.size(), 4u);
}

// Two side by side, and a third that mirrors the first.
const std::vector<MonitorRect> kTwoMonitors = {
    {0, 0, 1920, 1080, true}, {1920, 0, 1080, 1920, false}, {0, 0, 1920, 1080, false}};

TEST_F(RotationTest, EachMonitorGetsAnEntryOfItsOwnAndPreviousPutsTheWholeSetBack) {
  InitWithEntries("each_monitor", 5);
  State().history_path = dir_ + "history.txt";
  State().monitor_mode = MonitorMode::kEachMonitor;
  rotation_->MonitorsAre(kTwoMonitors);
  auto pair = [](int a, int b) {
    return std::string(kViewer) + " \"1C:\\p\\" + std::to_string(a) + ".jpg\" \"1C:\\p\\" +
           std::to_string(b) + ".jpg\"";
  };
  State().LastIndex = 0;
  rotation_->NextNow();
  host_.existing.erase("C:\\p\\4.jpg");
  rotation_->NextNow();  // 3, then 4 is gone: 5
  rotation_->NextNow();  // round the list
  EXPECT_EQ(host_.launches, (std::vector<std::string>{pair(1, 2), pair(3, 5), pair(1, 2)}));
  EXPECT_EQ(State().LastIndex, 2);
  EXPECT_EQ(host_.balloons.back().Text, "1.jpg, 2.jpg");

  // The sets come back from the history file after a restart, one gone picture left out.
  Rotation restarted(host_, Settings(dir_ + "vistrel.ini"));
  restarted.state = State();
  restarted.state.history.clear();
  restarted.LoadHistory();
  ASSERT_EQ(restarted.state.history.size(), 3u);
  EXPECT_EQ(restarted.state.history[1].others.size(), 1u);
  host_.existing.erase("C:\\p\\3.jpg");
  ASSERT_TRUE(restarted.PreviousNow());
  EXPECT_EQ(host_.launches.back(), std::string(kViewer) + " \"1C:\\p\\5.jpg\"");
  EXPECT_EQ(restarted.state.LastIndex, 5);

  // Random deals distinct lines, also when the list has no more lines than monitors.
  host_.launches.clear();
  WriteExistingEntries(2);
  State().RandomWallpaper = true;
  for (int i = 0; i < 5; ++i) rotation_->NextNow();
  for (const std::string& launch : host_.launches)
    EXPECT_TRUE(launch == pair(1, 2) || launch == pair(2, 1)) << launch;
  // Shuffled, a round that ends within a change never deals a line twice in it.
  WriteExistingEntries(3);
  State().RandomWallpaper = State().shuffle = true;
  for (int i = 0; i < 12; ++i) {
    rotation_->NextNow();
    const std::string& launch = host_.launches.back();
    const std::size_t first = launch.find('"'), split = launch.find("\" \"");
    ASSERT_NE(split, std::string::npos);
    EXPECT_NE(launch.substr(first, split + 1 - first), launch.substr(split + 2)) << launch;
  }
  State().shuffle = false;
  // Spanned or one picture: one entry a change.
  for (MonitorMode mode : {MonitorMode::kSpan, MonitorMode::kOnePicture}) {
    State().monitor_mode = mode;
    rotation_->NextNow();
    EXPECT_EQ(host_.launches.back().find("\" \""), std::string::npos);
  }
}

TEST_F(RotationTest, ANewMonitorLayoutRendersTheCurrentPicturesAgainOnce) {
  InitWithEntries("layout", 3);
  host_.watch = true;
  State().monitor_mode = MonitorMode::kSpan;
  rotation_->MonitorsAre(kTwoMonitors);
  rotation_->ScreenSizeIs(1920, 1080);
  rotation_->NextNow();
  host_.running = false;
  rotation_->PollChange();
  ASSERT_EQ(host_.launches.size(), 1u);
  State().ElapsedSeconds = 42;
  // The display and the work area both tell of one change; the order of the monitors is not one.
  const std::vector<MonitorRect> moved = {{0, 0, 1920, 1080, true}, {-1080, 0, 1080, 1920, false}};
  for (int i = 0; i < 2; ++i) {
    rotation_->MonitorsAre(moved);
    rotation_->MonitorsAre({moved[1], moved[0]});
    rotation_->ScreenSizeIs(1920, 1080);
  }
  ASSERT_EQ(host_.launches, (std::vector<std::string>{Launched(2), Launched(2)}));
  host_.running = false;
  rotation_->PollChange();
  EXPECT_EQ(State().ElapsedSeconds, 42) << "the countdown goes on";
  EXPECT_EQ(State().LastIndex, 2);
  EXPECT_EQ(State().history.size(), 1u);
  // One picture that Windows lays out is not made for a layout: a centred one stays.
  State().monitor_mode = MonitorMode::kOnePicture;
  rotation_->MonitorsAre(kTwoMonitors);
  EXPECT_EQ(host_.launches.size(), 2u);
  // Unless the way to cover the monitors has just changed.
  rotation_->RenderAgain();
  EXPECT_EQ(host_.launches.size(), 3u);
}

TEST_F(RotationTest, ATickReadsTheListOnceAndBoundsItsLooksAtTheDisk) {
  Init("long_list");
  // 100,000 lines on an unplugged drive, then one picture that is there.
  std::string text;
  for (int n = 0; n < 100000; ++n) text += "1X:\\gone\\" + std::to_string(n) + ".jpg\r\n";
  host_.existing.insert("C:\\p\\last.jpg");
  WriteList(text + "1C:\\p\\last.jpg\r\n");
  rotation_->NextNow();
  EXPECT_EQ(host_.list_reads, 1);
  EXPECT_EQ(State().LastIndex, 100001) << "reached within one tick";
  EXPECT_EQ(host_.launches.size(), 1u);

  // The same many lines in a folder that is there, their files deleted: a bounded tick.
  host_.existing.insert("C:\\p\\other.jpg");
  text.clear();
  for (int n = 0; n < 100000; ++n) text += "1C:\\p\\" + std::to_string(n) + ".jpg\r\n";
  WriteList(text);
  for (bool random : {false, true}) {
    State().RandomWallpaper = random;
    host_.existence_tests.clear();
    host_.list_reads = 0;
    rotation_->NextNow();
    EXPECT_EQ(host_.list_reads, 1);
    EXPECT_LE(host_.existence_tests.size(), std::size_t(kMaxFileChecksPerTick) + 2);
  }
}

// Every look at the disk takes a millisecond: the timer gives up after its quarter second, a
// press of Next goes on to the picture 1,500 lines down.
TEST_F(RotationTest, APressLooksLongerThanATimerTick) {
  Init("slow_disk");
  std::string text;
  for (int n = 0; n < 1500; ++n) text += "1C:\\p\\" + std::to_string(n) + ".jpg\r\n";
  host_.existing.insert("C:\\p\\last.jpg");
  WriteList(text + "1C:\\p\\last.jpg\r\n");
  host_.on_file_check = [this] { ++host_.ms; };
  State().ElapsedSeconds = State().IntervalSeconds() - 1;
  rotation_->OnRotationTick();
  EXPECT_TRUE(host_.launches.empty()) << "the timer's change stopped at its time limit";
  EXPECT_LT(State().LastIndex, 1501);
  State().LastIndex = 0;
  rotation_->NextNow();
  EXPECT_EQ(State().LastIndex, 1501);
  EXPECT_EQ(host_.launches.size(), 1u);
}

TEST_F(RotationTest, HugeIntervalDoesNotOverflow) {
  InitWithEntries("huge", 1);
  State().Interval = std::numeric_limits<std::int32_t>::max();
  rotation_->OnRotationTick();
  EXPECT_EQ(host_.tooltips.back(), "Vistrel Agent [2147483647 min]");
  rotation_->NextNow();
  EXPECT_EQ(host_.launches.size(), 1u);
}

}  // namespace
}  // namespace vistrel
