// The shipped programs with names that the ANSI code page (1252, the Wine prefix's default) cannot
// spell, and with a path longer than MAX_PATH: run from a folder "Дмитрий", on pictures
// "東京の夜.jpg", "Ünïcødé.png" and "🌅 sunrise.bmp". Texts are spelled in UTF-8 bytes.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "agent/win32/agent_ids.h"
#include "app/win32/main_window.h"
#include "common/list_file.h"
#include "platform/files.h"
#include "platform/win32/wide.h"
#include "tests/e2e/e2e_support.h"
#include "tests/support/test_support.h"

namespace vistrel::e2e {
namespace {

const std::string kFolder = "\xD0\x94\xD0\xBC\xD0\xB8\xD1\x82\xD1\x80\xD0\xB8\xD0\xB9";
const std::string kTokyoNight = "\xE6\x9D\xB1\xE4\xBA\xAC\xE3\x81\xAE\xE5\xA4\x9C.jpg";
const std::string kUnicodePng = "\xC3\x9Cn\xC3\xAF\x63\xC3\xB8\x64\xC3\xA9.png";
const std::string kSunriseBmp = "\xF0\x9F\x8C\x85 sunrise.bmp";

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

std::string SunrisePicture() {
  return test::Bmp24(6, 5, 11);
}

// A folder "Дмитрий" in a fresh test folder, holding the programs and the three pictures.
std::string NamedProgramDir(const std::string& test_name,
                            std::initializer_list<const char*> programs) {
  const std::string dir = FreshProgramDir(test_name, {}) + kFolder + "\\";
  EXPECT_TRUE(CreateDirectoryW(Widen(dir).c_str(), nullptr));
  for (const char* program : programs)
    EXPECT_TRUE(CopyFileW(Widen(ProgramPath(program)).c_str(), Widen(dir + program).c_str(), FALSE))
        << program;
  test::WriteBytes(dir + kTokyoNight,
                   test::ReadBytes(test::DataPath("jpeg/libjpeg-turbo/testorig.jpg")));
  test::WriteBytes(dir + kUnicodePng, test::ReadBytes(test::DataPath("png/pngsuite/basn2c08.png")));
  test::WriteBytes(dir + kSunriseBmp, SunrisePicture());
  return dir;
}

std::vector<std::string> PicturePaths(const std::string& dir) {
  return {dir + kTokyoNight, dir + kUnicodePng, dir + kSunriseBmp};
}

TEST(NamesE2E, TheApplierInAFolderOfAnyNameAppliesPicturesOfAnyName) {
  const std::string dir = NamedProgramDir("names_apply", {"vistrel.exe"});
  std::string before;
  for (const std::string& picture : PicturePaths(dir)) {
    EXPECT_EQ(RunToEnd(Quoted(dir + "vistrel.exe") + " " + Quoted("1" + picture)), 0u) << picture;
    const std::string now = FileBytes(dir + "vistrel_wlp.bmp");
    EXPECT_GT(now.size(), 54u) << picture;
    EXPECT_NE(now, before) << picture << " changed the wallpaper";
    before = now;
  }
  EXPECT_EQ(before, SunrisePicture()) << "a BMP is copied as it is";
  EXPECT_EQ(ReadDesktopValue("Wallpaper"), dir + "vistrel_wlp.bmp")
      << "the wallpaper file in the program's own folder";
}

TEST(NamesE2E, APictureUnderAPathOf300CharactersIsApplied) {
  const std::string dir = FreshProgramDir("names_long", {"vistrel.exe"});
  // A run before may have left the folders (removing them takes the long form as well).
  DeleteFileAt(dir + "vistrel_wlp.bmp");
  std::string folder = dir;
  while (folder.size() < 250) {
    folder += std::string(40, 'd') + "\\";
    ASSERT_TRUE(CreateDirectoryW(FilePath(folder).c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
  }
  const std::string picture = folder + std::string(300 - folder.size() - 4, 'p') + ".bmp";
  ASSERT_EQ(picture.size(), 300u);
  ASSERT_TRUE(ReplaceFileContents(picture, SunrisePicture()));
  // Centred, so the wallpaper holds the picture's own pixels.
  EXPECT_EQ(RunToEnd(Quoted(dir + "vistrel.exe") + " " + Quoted("1" + picture)), 0u);
  EXPECT_EQ(FileBytes(dir + "vistrel_wlp.bmp"), SunrisePicture());
}

class NamesWindowE2E : public testing::Test {
 protected:
  // Opens the window from dir on the list bytes, then sets every row to Tile from its menu.
  void OpenAndTileAll(const std::string& dir, const std::string& list) {
    test::WriteBytes(dir + "list.txt", list);
    window_ = std::make_unique<Process>(Quoted(dir + "vistrel.exe"), dir);
    form_ = WaitForConfigurationWindow(*window_);
    ASSERT_NE(form_, nullptr);
    EXPECT_EQ(WindowText(form_), "[" + dir + "list.txt]") << "the list beside the program";
    SendMessageW(form_, WM_COMMAND, app::kCommandSelectAll, 0);
    SendMessageW(form_, WM_COMMAND, app::kCommandTile, 0);
  }
  void TearDown() override {
    if (!form_) return;
    PostMessageW(form_, WM_CLOSE, 0, 0);
    EXPECT_NE(window_->Wait(20000), static_cast<DWORD>(STILL_ACTIVE));
  }
  std::unique_ptr<Process> window_;
  HWND form_ = nullptr;
};

TEST_F(NamesWindowE2E, RunFromAFolderOfAnyNameItEditsTheListThereWithTheNamesExactly) {
  const std::string dir = NamedProgramDir("names_window", {"vistrel.exe"});
  std::string lines;
  for (const std::string& picture : PicturePaths(dir)) lines += "1" + picture + "\r\n";
  OpenAndTileAll(dir, kUtf8ByteOrderMark + lines);
  std::string tiled;
  for (const std::string& picture : PicturePaths(dir)) tiled += "2" + picture + "\r\n";
  EXPECT_EQ(FileBytes(dir + "list.txt"), kUtf8ByteOrderMark + tiled);
}

TEST_F(NamesWindowE2E, AWesternListStaysInTheCodePageByteForByte) {
  const std::string dir = FreshProgramDir("names_western", {"vistrel.exe"});
  // "C:\Ünïcødé.png" and "C:\café\ß.jpg" in code page 1252.
  const std::string ansi = "C:\\\xDCn\xEF\x63\xF8\x64\xE9.png\r\n";
  const std::string ansi2 = "C:\\caf\xE9\\\xDF.jpg\r\n";
  OpenAndTileAll(dir, "1" + ansi + "3" + ansi2 + "1C:\\plain.bmp\r\n");
  EXPECT_EQ(FileBytes(dir + "list.txt"), "2" + ansi + "2" + ansi2 + "2C:\\plain.bmp\r\n");
}

TEST(NamesE2E, TheAgentInAFolderOfAnyNameRotatesPicturesOfAnyName) {
  const std::string dir = NamedProgramDir("names_agent", {"vistrel_agent.exe", "vistrel.exe"});
  std::string lines;
  for (const std::string& picture : PicturePaths(dir)) lines += "1" + picture + "\r\n";
  test::WriteBytes(dir + "list.txt", kUtf8ByteOrderMark + lines);
  // No ViewerPath: the applier beside the agent, in the same folder.
  test::WriteBytes(dir + "vistrel.ini", "[Settings]\r\nLastIndex=0\r\n");
  // The list named on the command line as well: the argument arrives whole.
  Process agent(Quoted(dir + "vistrel_agent.exe") + " " + Quoted(dir + "list.txt"), dir);
  HWND window = nullptr;
  ASSERT_TRUE(WaitFor(
      [&] {
        window = FindWindowW(nullptr, L"Vistrel Agent");
        DWORD pid = 0;
        if (window) GetWindowThreadProcessId(window, &pid);
        return window && pid == agent.Id();
      },
      30000));
  std::string before;
  for (const std::string& picture : PicturePaths(dir)) {
    PostMessageW(window, WM_COMMAND, kCommandNext, 0);
    EXPECT_TRUE(WaitFor(
        [&] {
          const std::string now = FileBytes(dir + "vistrel_wlp.bmp");
          return now.size() > 54 && now != before;
        },
        30000))
        << picture;
    before = FileBytes(dir + "vistrel_wlp.bmp");
  }
  EXPECT_EQ(before, SunrisePicture()) << "the third line";
  PostMessageW(window, WM_COMMAND, kCommandExit, 0);
  EXPECT_EQ(agent.Wait(20000), 0u);
  EXPECT_NE(FileBytes(dir + "vistrel.ini").find("LastIndex=3"), std::string::npos);
}

}  // namespace
}  // namespace vistrel::e2e
