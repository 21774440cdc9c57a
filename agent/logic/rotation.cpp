#include "agent/logic/rotation.h"

#include <algorithm>
#include <limits>
#include <tuple>

#include "agent/logic/agent_texts.h"
#include "agent/logic/tray_text.h"
#include "common/apply_result.h"
#include "common/list_file.h"
#include "common/shared_names.h"
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

std::string TimeLeftText(std::int64_t seconds_left) {
  if (seconds_left >= 60) {
    std::int64_t minutes = seconds_left / 60;
    std::int64_t rest = seconds_left % 60;
    // To the nearest minute, an exact half to the even neighbour.
    if (rest > 30 || (rest == 30 && minutes % 2 == 1)) ++minutes;
    return std::to_string(minutes) + kCountdownMinutes;
  }
  if (seconds_left >= 1) return std::to_string(seconds_left) + kCountdownSeconds;
  return std::string();
}

std::string CountdownText(std::int64_t seconds_left) {
  const std::string left = TimeLeftText(seconds_left);
  return left.empty() ? std::string(kPausedTooltip) : kCountdownPrefix + left + kCountdownClose;
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

namespace {

// A line number of up to 10 digits that fits a line number's 32 bits; -1 otherwise.
std::int64_t LineNumber(const std::string& text) {
  if (text.empty() || text.size() > 10) return -1;
  std::int64_t index = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    index = index * 10 + (c - '0');
  }
  return index > std::numeric_limits<std::int32_t>::max() ? -1 : index;
}

// The entry as it follows its style letter: the picture's path.
std::string PathOf(const std::string& entry) {
  return entry.size() > 1 ? entry.substr(1) : std::string();
}

}  // namespace

std::vector<HistoryItem> ParseHistory(const std::vector<std::string>& lines) {
  std::vector<HistoryItem> items;
  for (const std::string& line : lines) {
    std::vector<std::string> fields;
    for (std::size_t start = 0;;) {
      const std::size_t tab = line.find('\t', start);
      fields.push_back(line.substr(start, tab == std::string::npos ? tab : tab - start));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    // Pairs of a line number and an entry. A line that is not all pairs is one change's line
    // number and entry, as older agents wrote it, tabs and all.
    HistoryItem item;
    bool whole = fields.size() >= 2 && fields.size() % 2 == 0;
    for (std::size_t i = 0; whole && i < fields.size(); i += 2) {
      const std::int64_t index = LineNumber(fields[i]);
      whole = index >= 0 && !fields[i + 1].empty();
      if (!whole) break;
      if (i == 0)
        item = {static_cast<std::int32_t>(index), fields[1], {}};
      else if (item.others.size() + 1 < kMaxDealtPictures)
        item.others.push_back({static_cast<std::int32_t>(index), fields[i + 1]});
    }
    if (!whole) {
      const std::size_t tab = line.find('\t');
      const std::int64_t index = tab == std::string::npos ? -1 : LineNumber(line.substr(0, tab));
      whole = index >= 0 && tab + 1 < line.size();
      if (whole) item = {static_cast<std::int32_t>(index), line.substr(tab + 1), {}};
    }
    if (whole) items.push_back(std::move(item));
  }
  if (items.size() > kHistoryLength)
    items.erase(items.begin(), items.end() - static_cast<std::ptrdiff_t>(kHistoryLength));
  return items;
}

std::vector<std::string> FormatHistory(const std::vector<HistoryItem>& items) {
  std::vector<std::string> lines;
  for (const HistoryItem& item : items) {
    std::string line = std::to_string(item.index) + "\t" + item.entry;
    for (const ShownEntry& other : item.others)
      line += "\t" + std::to_string(other.index) + "\t" + other.entry;
    lines.push_back(std::move(line));
  }
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

void Rotation::Remember(const HistoryItem& shown) {
  state.history.push_back(shown);
  if (state.history.size() > kHistoryLength) state.history.erase(state.history.begin());
  StoreHistory();
}

namespace {

// The applier's exit codes; kTimedOut is the agent's own.
constexpr std::uint32_t Code(ApplyResult result) {
  return static_cast<std::uint32_t>(result);
}
constexpr std::uint32_t kExitChanged = Code(ApplyResult::kApplyExitChanged);
constexpr std::uint32_t kExitNoFile = Code(ApplyResult::kApplyExitNoSuchFile);
constexpr std::uint32_t kExitUnsupported = Code(ApplyResult::kApplyExitUnsupported);
constexpr std::uint32_t kExitDamaged = Code(ApplyResult::kApplyExitCannotShow);
constexpr std::uint32_t kExitNotWritten = Code(ApplyResult::kApplyExitCannotWrite);
constexpr std::uint32_t kExitRefused = Code(ApplyResult::kApplyExitRefused);
constexpr std::uint32_t kExitBusy = Code(ApplyResult::kApplyExitBusy);
constexpr std::uint32_t kTimedOut = 0xFFFFFFFFu;

bool PictureRefused(std::uint32_t code) {
  return code == kExitNoFile || code == kExitUnsupported || code == kExitDamaged;
}

std::string NotChangedText(std::uint32_t code) {
  switch (code) {
    case kExitNotWritten: return kNotWrittenText;
    case kExitRefused: return kRefusedText;
    case kExitBusy: return kBusyText;
    case kTimedOut: return kTimedOutText;
    default: return kFailedText;
  }
}

}  // namespace

bool RotationHost::PathTooLong(const std::string& path) {
  return vistrel::PathTooLong(path);
}

bool RotationHost::DirectoryExists(const std::string& path) {
  return vistrel::DirectoryExists(path);
}

void Rotation::Warn(const std::string& text, bool user) {
  if (!user) {
    Notice(kWarningCaption, text);
    return;
  }
  // The box's own message loop runs ticks, hot keys and menu commands: none opens another. Nor
  // do the presses still queued when it is closed: the same box again at once says nothing new.
  if (warning_open_) return;
  if (text == last_warning_ && host_.Milliseconds() - warning_closed_ms_ < kRepeatWarningMs) return;
  warning_open_ = true;
  host_.ShowWarning(text);
  warning_open_ = false;
  last_warning_ = text;
  warning_closed_ms_ = host_.Milliseconds();
}

void Rotation::Notice(const std::string& title, const std::string& text) {
  if (title + text == last_notice_) return;
  last_notice_ = title + text;
  host_.ShowBalloon(title, text, kBalloonWarningIcon, kNoticeBalloonSeconds);
}

std::string Rotation::NamesOf(const HistoryItem& shown) {
  std::string names = NameOf(PathOf(shown.entry));
  for (const ShownEntry& other : shown.others) names += ", " + NameOf(PathOf(other.entry));
  return names;
}

void Rotation::Changed(const HistoryItem& shown, bool previous) {
  last_notice_.clear();
  refused_in_a_row_ = 0;
  if (!previous) Remember(shown);
  if (state.ShowBaloonOnChange)
    host_.ShowBalloon(kNewWallpaperTitle, NamesOf(shown), kBalloonInfoIcon, kChangeBalloonSeconds);
}

namespace {

// The applier's arguments: each entry in quotes, the first one's picture shown when only one is.
std::string ApplierParameters(const HistoryItem& shown) {
  std::string parameters = "\"" + shown.entry + "\"";
  for (const ShownEntry& other : shown.others) parameters += " \"" + other.entry + "\"";
  return parameters;
}

}  // namespace

void Rotation::Start(const std::string& viewer, const HistoryItem& shown, std::int64_t lines,
                     bool user, bool previous) {
  switch (host_.StartApplier(viewer, ApplierParameters(shown))) {
    case ApplierStart::kUnwatched: Changed(shown, previous); return;
    case ApplierStart::kFailed: Warn(kCannotStart + viewer + kCannotStartAfter, user); return;
    case ApplierStart::kWatched:
      pending_ = {true, user, previous, shown, lines, host_.Milliseconds()};
      return;
  }
}

void Rotation::PollChange() {
  if (!pending_.active) return;
  std::uint32_t code = 0;
  if (!host_.WatchedApplierEnded(code)) {
    if (host_.Milliseconds() - pending_.started_ms < kApplierTimeoutMs) return;
    host_.StopWatchedApplier();
    code = kTimedOut;
  }
  pending_.active = false;
  Finish(code);
}

void Rotation::Finish(std::uint32_t code) {
  const Pending done = pending_;
  if (done.reapply) {
    // The picture stays the current one whatever came of it: the next change goes on as it
    // would have.
  } else if (code == kExitChanged) {
    Changed(done.shown, done.previous);
  } else if (PictureRefused(code)) {
    // Named once: a picture that cannot be shown stays so until the list is edited.
    if (skipped_reported_.insert(ApplierParameters(done.shown)).second)
      Notice(kSkippedTitle, NamesOf(done.shown));
    // The next entry instead, until every line of the list has been refused in a row.
    if (!done.previous && ++refused_in_a_row_ < done.lines) {
      ChangeNow(done.user);
      if (pending_.active) return;
    }
  } else {
    Notice(kNotChangedTitle, NotChangedText(code));
  }
  ServeQueued();
}

void Rotation::ScreenSizeIs(std::int32_t width, std::int32_t height) {
  if (width <= 0 || height <= 0 || (width == screen_width_ && height == screen_height_)) return;
  const bool first = screen_width_ == 0;
  screen_width_ = width;
  screen_height_ = height;
  // The first size is the one the wallpaper was made for; a composed desktop follows the layout.
  if (first || state.monitor_mode != MonitorMode::kOnePicture) return;
  reapply_wanted_ = true;
  if (!pending_.active) Reapply();
}

void Rotation::MonitorsAre(const std::vector<MonitorRect>& monitors) {
  auto key = [](const MonitorRect& m) { return std::make_tuple(m.x, m.y, m.width, m.height); };
  std::vector<MonitorRect> distinct;
  for (const MonitorRect& m : monitors)
    if (m.width > 0 && m.height > 0) distinct.push_back(m);
  std::sort(distinct.begin(), distinct.end(),
            [&](const MonitorRect& a, const MonitorRect& b) { return key(a) < key(b); });
  distinct.erase(
      std::unique(distinct.begin(), distinct.end(),
                  [&](const MonitorRect& a, const MonitorRect& b) { return key(a) == key(b); }),
      distinct.end());
  const bool same = distinct.size() == monitors_.size() &&
                    std::equal(distinct.begin(), distinct.end(), monitors_.begin(),
                               [&](const MonitorRect& a, const MonitorRect& b) {
                                 return key(a) == key(b) && a.primary == b.primary;
                               });
  if (distinct.empty() || same) return;
  const bool first = monitors_.empty();
  monitors_ = std::move(distinct);
  if (first || state.monitor_mode == MonitorMode::kOnePicture) return;
  reapply_wanted_ = true;
  if (!pending_.active) Reapply();
}

std::int64_t Rotation::PicturesPerChange() const {
  if (state.monitor_mode != MonitorMode::kEachMonitor) return 1;
  return static_cast<std::int64_t>(std::clamp<std::size_t>(monitors_.size(), 1, kMaxDealtPictures));
}

bool Rotation::StillThere(const HistoryItem& shown, bool all, HistoryItem& there) {
  bool found = false;
  for (std::size_t i = 0; i <= (all ? shown.others.size() : 0); ++i) {
    const ShownEntry one = i == 0 ? ShownEntry{shown.index, shown.entry} : shown.others[i - 1];
    if (!host_.FileExists(PathOf(one.entry))) continue;
    if (!found)
      there = {one.index, one.entry, {}};
    else
      there.others.push_back(one);
    found = true;
  }
  return found;
}

void Rotation::RenderAgain() {
  reapply_wanted_ = true;
  reapply_any_style_ = true;
  if (!pending_.active) Reapply();
}

void Rotation::Reapply() {
  const bool any_style = reapply_any_style_;
  reapply_wanted_ = false;
  reapply_any_style_ = false;
  if (state.history.empty()) return;
  const HistoryItem& current = state.history.back();
  const bool composed = state.monitor_mode != MonitorMode::kOnePicture;
  // One picture that Windows lays out follows the screen only in the styles made for its size;
  // a composed desktop is made for the layout in every style.
  const char letter = current.entry.empty() ? '\0' : current.entry[0];
  if (!composed && !any_style && letter != kStyleStretch && letter != kStyleFit &&
      letter != kStyleFill)
    return;
  const std::string viewer = state.ViewerProgram();
  // Nothing to say when it cannot be done: the wallpaper is still there, only scaled by Windows.
  if (!host_.FileExists(viewer)) return;
  HistoryItem again;
  if (!StillThere(current, composed, again)) return;
  if (host_.StartApplier(viewer, ApplierParameters(again)) == ApplierStart::kWatched)
    pending_ = {true, false, true, again, 0, host_.Milliseconds(), true};
}

void Rotation::ServeQueued() {
  if (reapply_wanted_ && !pending_.active) Reapply();
  while (!queued_.empty() && !pending_.active) {
    if (!queued_.front()) {
      queued_.erase(queued_.begin());
      PreviousNow();
      continue;
    }
    // Presses of Next in a row: the picture they lead to is shown, those before it passed over.
    std::size_t nexts = 0;
    while (nexts < queued_.size() && queued_[nexts]) ++nexts;
    queued_.erase(queued_.begin(), queued_.begin() + static_cast<std::ptrdiff_t>(nexts));
    state.ElapsedSeconds = 0;
    ChangeNow(true, static_cast<std::int32_t>(nexts - 1));
  }
}

bool Rotation::PreviousNow() {
  if (pending_.active) {
    if (queued_.size() < kMaxQueuedPresses) queued_.push_back(false);
    return false;
  }
  bool dropped = false;
  while (state.history.size() >= 2) {
    state.history.pop_back();
    dropped = true;
    const HistoryItem& before = state.history.back();
    // The whole set goes back; pictures gone since are left out of it, and a set with none left
    // is passed over for the one before it.
    HistoryItem back;
    if (!StillThere(before, true, back)) continue;
    const std::string viewer = state.ViewerProgram();
    if (!host_.FileExists(viewer)) {
      StoreHistory();
      Warn(kCannotFind + viewer + kCannotChangeWallpaper, true);
      return false;
    }
    state.ElapsedSeconds = 0;
    state.LastIndex = before.others.empty() ? before.index : before.others.back().index;
    StoreHistory();
    if (state.RememberLast) settings_.WriteInteger(keys::kLastIndex, state.LastIndex);
    Start(viewer, back, 0, true, true);
    return true;
  }
  if (dropped) StoreHistory();
  return false;
}

void Rotation::OnRotationTick() {
  Tick(false);
}

void Rotation::NextNow() {
  if (pending_.active) {
    if (queued_.size() < kMaxQueuedPresses) queued_.push_back(true);
    return;
  }
  state.ElapsedSeconds = state.IntervalSeconds();
  Tick(true);
}

void Rotation::Tick(bool forced) {
  PollChange();
  // Held while a screen saver runs or nobody can see the desktop (when the box asks for it),
  // and while a full-screen program or a presentation runs.
  const bool away = host_.UserAway();
  const bool hold = ShellWantsQuiet(host_.UserNotificationState()) ||
                    (state.DisableOnScreenSaver && (away || host_.ScreenSaverRunning()));
  // A countdown that has run out waits at zero for the change.
  if (!hold && state.ElapsedSeconds < state.IntervalSeconds()) {
    ++state.ElapsedSeconds;
    host_.SetTooltip(CountdownText(state.SecondsLeft()));
  }
  if (state.ElapsedSeconds < state.IntervalSeconds()) return;
  // Due: the change waits for a running one, and for the user's return.
  if (pending_.active || (!forced && away)) return;
  state.ElapsedSeconds = 0;
  ChangeNow(forced);
}

std::string Rotation::NameOf(const std::string& path) {
  return FileNamePart(path);
}

bool Rotation::PictureExists(const std::string& path, TickTries& tries) {
  // A folder that is gone (a drive unplugged, a share offline) answers for all its files.
  // Windows takes a slash as a separator too.
  const std::size_t separator = path.find_last_of("\\/:");
  const std::string folder =
      separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
  if (!folder.empty() && !tries.present_folders.count(folder)) {
    if (tries.missing_folders.count(folder)) return false;
    if (!host_.DirectoryExists(folder)) {
      tries.missing_folders.insert(folder);
      return false;
    }
    tries.present_folders.insert(folder);
  }
  ++tries.file_checks;
  return host_.FileExists(path);
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
  // lines again. Draw among the lines not tried yet, never the one shown before the tick; the
  // candidates are listed once per tick and drawn without putting back.
  if (!tries.left_made) {
    tries.left_made = true;
    for (std::uint32_t line = 1; line <= n; ++line)
      if (!tries.tried[line - 1] &&
          !(std::int64_t{n} > tries.dealing && std::int64_t{line} == tries.shown_before))
        tries.left.push_back(line);
  }
  if (tries.left.empty()) return 0;
  const auto pick = RandomBelow(state.seed, static_cast<std::uint32_t>(tries.left.size()));
  const std::uint32_t line = tries.left[pick];
  tries.left[pick] = tries.left.back();
  tries.left.pop_back();
  return line;
}

std::int64_t Rotation::NextShuffled(const std::vector<std::string>& lines, std::int64_t count,
                                    TickTries& tries) {
  const auto n = static_cast<std::int32_t>(count);
  if (tries.shuffle_order.empty()) {
    const std::uint32_t check = ListCheck(lines);
    if (check != state.shuffle_list || state.shuffle_position < 0 || state.shuffle_position >= n) {
      // A new round, also for a changed list. Its first line is never the one just shown.
      std::uint32_t seed = SeedFromClock(host_.UtcTimeOfDay());
      while (n >= 2 && ShuffleOrder(seed, n).front() == state.LastIndex)
        seed = seed * 134775813u + 1u;
      state.shuffle_seed = seed;
      state.shuffle_position = 0;
      state.shuffle_list = check;
    }
    tries.shuffle_order = ShuffleOrder(state.shuffle_seed, n);
  }
  if (state.shuffle_position >= n) {
    // The round ran out within this tick: the next one.
    std::uint32_t seed = state.shuffle_seed * 134775813u + 1u;
    state.shuffle_seed = seed;
    state.shuffle_position = 0;
    tries.shuffle_order = ShuffleOrder(seed, n);
  }
  const std::int32_t index = tries.shuffle_order[static_cast<std::size_t>(state.shuffle_position)];
  ++state.shuffle_position;
  tries.shuffle_changed = true;
  return index;
}

void Rotation::StoreShuffle() {
  // The round goes on where it stopped after a restart.
  settings_.WriteText(keys::kShuffleSeed, std::to_string(state.shuffle_seed));
  settings_.WriteInteger(keys::kShufflePosition, state.shuffle_position);
  settings_.WriteText(keys::kShuffleList, std::to_string(state.shuffle_list));
}

std::string Rotation::Choose(const std::vector<std::string>& lines, std::int64_t count,
                             TickTries& tries, std::int32_t skip) {
  if (count < 1) return std::string();
  if (state.shuffle) {
    std::int64_t index = 0;
    for (std::int32_t i = 0; i <= skip; ++i) index = NextShuffled(lines, count, tries);
    state.LastIndex = static_cast<std::int32_t>(index);
    return lines[static_cast<std::size_t>(index - 1)];
  }
  if (state.RandomWallpaper) {
    const std::int64_t index = DrawRandom(count, tries);
    if (index < 1) return std::string();  // every line of the list tried in this tick
    tries.tried[static_cast<std::size_t>(index - 1)] = true;
    state.LastIndex = static_cast<std::int32_t>(index);
    return lines[static_cast<std::size_t>(index - 1)];
  }
  // A negative index (a hand-edited file) would cost that many intervals without a change.
  if (state.LastIndex < 0) state.LastIndex = 0;
  if (skip > 0 && state.LastIndex <= count)
    state.LastIndex = static_cast<std::int32_t>((state.LastIndex + skip) % count);
  if (count > state.LastIndex)
    ++state.LastIndex;
  else
    state.LastIndex = 1;
  return state.LastIndex <= count ? lines[static_cast<std::size_t>(state.LastIndex - 1)]
                                  : std::string();
}

void Rotation::ChangeNow(bool user, std::int32_t skip) {
  if (!host_.FileExists(state.ListPath)) {
    host_.CreateEmptyList(state.ListPath);
    return;
  }
  // Read once per change, in one go and closed at once: the list is never held open across a
  // box or a launch.
  std::vector<std::string> lines;
  if (!host_.ReadList(state.ListPath, lines)) return;
  // Line numbers live in a 32-bit "LastIndex"; lines beyond that cannot be addressed.
  const std::int64_t count = std::min<std::int64_t>(static_cast<std::int64_t>(lines.size()),
                                                    std::numeric_limits<std::int32_t>::max());
  TickTries tries;
  // A picture for each monitor, each line once: a list shorter than that shows what it has.
  tries.dealing = std::min(PicturesPerChange(), count);
  const std::uint32_t started_ms = host_.Milliseconds();
  // Presses passed over would each have dealt as many.
  skip = static_cast<std::int32_t>(std::min<std::int64_t>(
      std::int64_t{skip} * tries.dealing, std::numeric_limits<std::int32_t>::max()));
  HistoryItem dealt;
  std::int64_t dealt_count = 0;
  bool viewer_missing = false;
  for (;;) {
    const std::string entry = Choose(lines, count, tries, skip);
    skip = 0;
    if (entry.empty()) break;
    // A shuffled round that ends within the change may begin the next with a line just dealt.
    const bool dealt_already =
        dealt_count > 0 &&
        (dealt.index == state.LastIndex ||
         std::any_of(dealt.others.begin(), dealt.others.end(),
                     [&](const ShownEntry& e) { return e.index == state.LastIndex; }));
    if (dealt_already) {
      if (++tries.missing_files + dealt_count >= count) break;
      continue;
    }
    const std::string path = entry.substr(1);
    if (!PictureExists(path, tries)) {
      // A path the system refuses for its length is said as such, not passed over as missing.
      // Shorter ones are not asked about: a missing file costs one look at the disk.
      if (path.size() >= kShortestLongPath && !tries.too_long_told && host_.PathTooLong(path)) {
        tries.too_long_told = true;
        Warn(PathTooLongText(path), user);
      }
      // One try per line, and a bounded number of looks at the disk: a list whose files are
      // all gone must not hold the agent; the next tick goes on from here.
      if (++tries.missing_files + dealt_count >= count ||
          tries.file_checks >= kMaxFileChecksPerTick)
        break;
      if (tries.file_checks % 256 == 255 &&
          host_.Milliseconds() - started_ms > (user ? kMaxPressFileCheckMs : kMaxFileCheckMs))
        break;
      continue;
    }
    if (dealt_count == 0) {
      if (!host_.FileExists(state.ViewerProgram())) {
        viewer_missing = true;
        break;
      }
      dealt = {state.LastIndex, entry, {}};
    } else {
      dealt.others.push_back({state.LastIndex, entry});
    }
    if (++dealt_count >= tries.dealing || tries.missing_files + dealt_count >= count) break;
  }
  if (viewer_missing) {
    Warn(kCannotFind + state.ViewerProgram() + kCannotChangeWallpaper, user);
  } else if (dealt_count > 0) {
    if (state.RememberLast) settings_.WriteInteger(keys::kLastIndex, state.LastIndex);
    if (tries.shuffle_changed) StoreShuffle();
    tries.shuffle_changed = false;
    Start(state.ViewerProgram(), dealt, count, user, false);
    return;
  }
  if (tries.shuffle_changed) StoreShuffle();
}

}  // namespace vistrel
