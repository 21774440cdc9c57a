#include "agent/logic/rotation.h"

#include <algorithm>
#include <limits>

#include "agent/logic/agent_texts.h"
#include "agent/logic/tray_text.h"
#include "common/list_file.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace vistrel {

bool RotationHost::FileExists(const std::string& path) {
  return vistrel::FileExists(path);
}

bool RotationHost::ReadList(const std::string& path, std::vector<std::string>& lines) {
  return ReadListFile(path, lines);
}

bool RotationHost::CreateEmptyList(const std::string& path) {
  return EnsureListFile(path);
}

bool RotationHost::WriteList(const std::string& path, const std::vector<std::string>& lines) {
  return WriteListFile(path, lines);
}

std::string RotationState::ViewerProgram() const {
  return viewer_directory.empty() ? ViewerPath : ResolveBesideProgram(ViewerPath, viewer_directory);
}

std::string CountdownText(std::int64_t seconds_left) {
  if (seconds_left >= 60) {
    std::int64_t minutes = seconds_left / 60;
    std::int64_t rest = seconds_left % 60;
    // To the nearest minute, an exact half to the even neighbour.
    if (rest > 30 || (rest == 30 && minutes % 2 == 1)) ++minutes;
    return kCountdownPrefix + std::to_string(minutes) + kCountdownMinutes;
  }
  if (seconds_left >= 1) return kCountdownPrefix + std::to_string(seconds_left) + kCountdownSeconds;
  return kPausedTooltip;
}

std::uint32_t SeedFromClock(const ClockTime& time) {
  return ((time.hour * 60 + time.minute) * 60 + time.second) * 1000 + time.milliseconds;
}

std::uint32_t RandomBelow(std::uint32_t& seed, std::uint32_t n) {
  seed = seed * 134775813u + 1u;
  return static_cast<std::uint32_t>((std::uint64_t{seed} * n) >> 32);
}

std::vector<std::int32_t> ShuffleOrder(std::uint32_t seed, std::int32_t count) {
  std::vector<std::int32_t> order;
  if (count < 1) return order;
  order.reserve(static_cast<std::size_t>(count));
  for (std::int32_t line = 1; line <= count; ++line) order.push_back(line);
  for (std::int32_t i = count - 1; i >= 1; --i) {
    const auto j = RandomBelow(seed, static_cast<std::uint32_t>(i) + 1);
    std::swap(order[static_cast<std::size_t>(i)], order[j]);
  }
  return order;
}

std::uint32_t ListCheck(const std::vector<std::string>& lines) {
  // FNV-1a over the lines, each closed by a CR, which no line holds.
  std::uint32_t hash = 2166136261u;
  auto add = [&hash](unsigned char byte) {
    hash ^= byte;
    hash *= 16777619u;
  };
  for (const std::string& line : lines) {
    for (char c : line) add(static_cast<unsigned char>(c));
    add('\r');
  }
  return hash;
}

bool ShellWantsQuiet(int user_notification_state) {
  return user_notification_state == 2 || user_notification_state == 3 ||
         user_notification_state == 4;
}

std::vector<HistoryItem> ParseHistory(const std::vector<std::string>& lines) {
  std::vector<HistoryItem> items;
  for (const std::string& line : lines) {
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos || tab == 0 || tab > 10 || tab + 2 > line.size()) continue;
    std::int64_t index = 0;
    bool digits = true;
    for (std::size_t i = 0; i < tab; ++i) {
      if (line[i] < '0' || line[i] > '9')
        digits = false;
      else
        index = index * 10 + (line[i] - '0');
    }
    if (!digits || index > std::numeric_limits<std::int32_t>::max()) continue;
    items.push_back({static_cast<std::int32_t>(index), line.substr(tab + 1)});
  }
  if (items.size() > kHistoryLength)
    items.erase(items.begin(), items.end() - static_cast<std::ptrdiff_t>(kHistoryLength));
  return items;
}

std::vector<std::string> FormatHistory(const std::vector<HistoryItem>& items) {
  std::vector<std::string> lines;
  for (const HistoryItem& item : items)
    lines.push_back(std::to_string(item.index) + "\t" + item.entry);
  return lines;
}

void Rotation::LoadHistory() {
  state.history.clear();
  std::vector<std::string> lines;
  if (state.history_path.empty() || !host_.FileExists(state.history_path)) return;
  if (host_.ReadList(state.history_path, lines)) state.history = ParseHistory(lines);
}

void Rotation::StoreHistory() {
  if (!state.history_path.empty())
    host_.WriteList(state.history_path, FormatHistory(state.history));
}

void Rotation::Remember(std::int32_t index, const std::string& entry) {
  state.history.push_back({index, entry});
  if (state.history.size() > kHistoryLength) state.history.erase(state.history.begin());
  StoreHistory();
}

void Rotation::Launched(const std::string& viewer, const std::string& entry,
                        const std::string& path) {
  host_.Launch(viewer, "\"" + entry + "\"");
  if (state.ShowBaloonOnChange) {
    std::string name =
        FileNamePart(path, [this](unsigned char byte) { return host_.IsLeadByte(byte); });
    host_.ShowBalloon(kNewWallpaperTitle, name, kBalloonInfoIcon, kChangeBalloonSeconds);
  }
}

bool Rotation::PreviousNow() {
  bool dropped = false;
  while (state.history.size() >= 2) {
    state.history.pop_back();
    dropped = true;
    const HistoryItem& before = state.history.back();
    const std::string path = before.entry.size() > 1 ? before.entry.substr(1) : std::string();
    // A picture gone since is passed over for the one before it.
    if (!host_.FileExists(path)) continue;
    const std::string viewer = state.ViewerProgram();
    if (!host_.FileExists(viewer)) {
      StoreHistory();
      host_.ShowWarning(kCannotFind + viewer + kCannotChangeWallpaper);
      return false;
    }
    state.ElapsedSeconds = 0;
    state.LastIndex = before.index;
    StoreHistory();
    if (state.RememberLast) settings_.WriteInteger(keys::kLastIndex, state.LastIndex);
    Launched(viewer, before.entry, path);
    return true;
  }
  if (dropped) StoreHistory();
  return false;
}

void Rotation::OnRotationTick() {
  TickTries tries;
  for (;;) {
    bool screen_saving = host_.ScreenSavingEnabled();
    if ((screen_saving || !state.DisableOnScreenSaver) &&
        !ShellWantsQuiet(host_.UserNotificationState())) {
      ++state.ElapsedSeconds;
      host_.SetTooltip(CountdownText(state.SecondsLeft()));
    }
    if (state.ElapsedSeconds < state.IntervalSeconds()) return;
    state.ElapsedSeconds = 0;
    if (Change(tries) == ChangeResult::Done) return;
  }
}

void Rotation::NextNow() {
  state.ElapsedSeconds = state.IntervalSeconds();
  OnRotationTick();
}

std::int64_t Rotation::DrawRandom(std::int64_t count, TickTries& tries) {
  const auto n = static_cast<std::uint32_t>(count);
  tries.tried.resize(static_cast<std::size_t>(count), false);
  if (!tries.drawn) {
    tries.drawn = true;
    tries.shown_before = state.LastIndex;
    state.seed = SeedFromClock(host_.UtcTimeOfDay());
    std::int64_t index;
    do {
      index = std::int64_t{RandomBelow(state.seed, n)} + 1;
    } while (index == state.LastIndex && n >= 2);
    return index;
  }
  // A retry within the tick: the clock has hardly moved, so a new seed would draw the same
  // lines again. Draw among the lines not tried yet, never the one shown before the tick.
  std::vector<std::uint32_t> left;
  for (std::uint32_t line = 1; line <= n; ++line)
    if (!tries.tried[line - 1] && !(n >= 2 && std::int64_t{line} == tries.shown_before))
      left.push_back(line);
  if (left.empty()) return 0;
  const auto pick = RandomBelow(state.seed, static_cast<std::uint32_t>(left.size()));
  return left[pick];
}

std::int64_t Rotation::NextShuffled(const std::vector<std::string>& lines, std::int64_t count) {
  const std::uint32_t check = ListCheck(lines);
  const auto n = static_cast<std::int32_t>(count);
  if (check != state.shuffle_list || state.shuffle_position < 0 || state.shuffle_position >= n) {
    // A new round, also for a changed list. Its first line is never the one just shown.
    std::uint32_t seed = SeedFromClock(host_.UtcTimeOfDay());
    while (n >= 2 && ShuffleOrder(seed, n).front() == state.LastIndex)
      seed = seed * 134775813u + 1u;
    state.shuffle_seed = seed;
    state.shuffle_position = 0;
    state.shuffle_list = check;
  }
  const std::int32_t index =
      ShuffleOrder(state.shuffle_seed, n)[static_cast<std::size_t>(state.shuffle_position)];
  ++state.shuffle_position;
  // The round goes on where it stopped after a restart.
  settings_.WriteText(keys::kShuffleSeed, std::to_string(state.shuffle_seed));
  settings_.WriteInteger(keys::kShufflePosition, state.shuffle_position);
  settings_.WriteText(keys::kShuffleList, std::to_string(state.shuffle_list));
  return index;
}

Rotation::ChangeResult Rotation::Change(TickTries& tries) {
  if (!host_.FileExists(state.ListPath)) {
    host_.CreateEmptyList(state.ListPath);
    return ChangeResult::Done;
  }
  // Read in one go and closed at once: the list is never held open across a box or a launch.
  std::vector<std::string> lines;
  if (!host_.ReadList(state.ListPath, lines)) return ChangeResult::Done;
  // Line numbers live in a 32-bit "LastIndex"; lines beyond that cannot be addressed.
  const std::int64_t count = std::min<std::int64_t>(static_cast<std::int64_t>(lines.size()),
                                                    std::numeric_limits<std::int32_t>::max());

  std::string entry;
  if (state.shuffle) {
    if (count >= 1) {
      const std::int64_t index = NextShuffled(lines, count);
      state.LastIndex = static_cast<std::int32_t>(index);
      entry = lines[static_cast<std::size_t>(index - 1)];
    }
  } else if (state.RandomWallpaper) {
    if (count >= 1) {
      const std::int64_t index = DrawRandom(count, tries);
      if (index < 1) return ChangeResult::Done;  // every line of the list tried in this tick
      tries.tried[static_cast<std::size_t>(index - 1)] = true;
      state.LastIndex = static_cast<std::int32_t>(index);
      entry = lines[static_cast<std::size_t>(index - 1)];
    }
  } else {
    // A negative index (a hand-edited file) would cost that many intervals without a change.
    if (state.LastIndex < 0) state.LastIndex = 0;
    if (count > state.LastIndex)
      ++state.LastIndex;
    else
      state.LastIndex = 1;
    if (state.LastIndex <= count) entry = lines[static_cast<std::size_t>(state.LastIndex - 1)];
  }
  if (entry.empty()) return ChangeResult::Done;

  const std::string path = entry.substr(1);
  if (!host_.FileExists(path)) {
    // One try per line: a list whose files are all gone must not keep the tick going forever.
    if (++tries.missing_files >= count) return ChangeResult::Done;
    state.ElapsedSeconds = state.IntervalSeconds();
    return ChangeResult::TryNext;
  }
  const std::string viewer = state.ViewerProgram();
  if (!host_.FileExists(viewer)) {
    host_.ShowWarning(kCannotFind + viewer + kCannotChangeWallpaper);
    return ChangeResult::Done;
  }
  if (state.RememberLast) settings_.WriteInteger(keys::kLastIndex, state.LastIndex);
  Remember(state.LastIndex, entry);
  Launched(viewer, entry, path);
  return ChangeResult::Done;
}

}  // namespace vistrel
