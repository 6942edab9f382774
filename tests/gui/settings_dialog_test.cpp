// The About box and the settings dialog of a copy of the built tavok.spi,
// used as a person uses them: under Xvfb, the test's main thread calls
// ConfigurationDlg like a viewer, and a second thread reads the windows and
// presses keys and buttons.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../dll/plugin_module.h"
#include "pure/container_builder.h"
#include "dialog_driver.h"
#include "support/fixture_log.h"
#include "support/plugin_folder.h"

namespace tavok::testing {
namespace {

using Paths = std::vector<std::string>;

const std::string kPngDescription = "Fixture PNG decoder";

std::string Profile(const std::string& ini, const char* key) {
  char value[MAX_PATH] = {};
  GetPrivateProfileStringA("SPI", key, "(absent)", value, MAX_PATH, ini.c_str());
  return value;
}

BOOL CALLBACK CollectText(HWND window, LPARAM found) {
  char text[200] = {};
  GetWindowTextA(window, text, sizeof(text));
  reinterpret_cast<std::vector<std::string>*>(found)->push_back(text);
  return TRUE;
}

class ConfigurationTest : public ::testing::Test {
 protected:
  // Loads the folder's tavok.spi as a viewer does, after its tavok.ini (if
  // any) is written.
  void Load() {
    tavok_ = std::make_unique<PluginModule>(folder_.TavokPath());
    configure_ = tavok_->Get<ConfigurationDlgFn>("ConfigurationDlg");
  }
  void LoadWithDecoders(const Paths& names) {
    std::string ini = "[SPI]\r\nCount=" + std::to_string(names.size()) + "\r\n";
    for (size_t i = 0; i < names.size(); ++i) {
      ini += "Path" + std::to_string(i) + "=" + names[i] + "\r\n";
    }
    folder_.WriteIni(ini);
    Load();
  }
  // Copies of the PNG fixture named d0.spi, d1.spi, ...
  Paths PngDecoders(int count) {
    Paths names;
    for (int i = 0; i < count; ++i) {
      names.push_back("d" + std::to_string(i) + ".spi");
      folder_.AddFixture("fx_png", names.back());
    }
    return names;
  }
  Paths Joined(const Paths& names) const {
    Paths paths;
    for (const std::string& name : names) paths.push_back(folder_.Join(name));
    return paths;
  }

  // Opens the settings dialog and lets person use it; the call must return 0.
  void UseSettings(const std::function<void(const SettingsDialog&)>& person) {
    const int32_t result =
        UseConfiguration(configure_, owner_.hwnd(), 1, [&](const HostThread& host) {
          host_ = &host;
          const SettingsDialog dialog(host.WaitForDialog(
              owner_.hwnd(), [](HWND window) { return GetDlgItem(window, 1000) != nullptr; }));
          person(dialog);
          host_ = nullptr;
        });
    EXPECT_EQ(result, 0);
  }

  PluginFolder folder_;
  OwnerWindow owner_;
  const HostThread* host_ = nullptr;  // while UseSettings runs
  std::unique_ptr<PluginModule> tavok_;
  ConfigurationDlgFn configure_ = nullptr;
};

TEST_F(ConfigurationTest, AboutBoxShowsTheDescription) {
  folder_.AddTavok();
  Load();
  char description[200] = {};
  tavok_->Get<GetPluginInfoFn>("GetPluginInfo")(1, description, sizeof(description));

  std::vector<std::string> texts;
  HWND box = nullptr;
  const int32_t result =
      UseConfiguration(configure_, owner_.hwnd(), 0, [&](const HostThread& host) {
        box = host.WaitForDialog(owner_.hwnd(),
                                 [](HWND window) { return WindowText(window) == L"About"; });
        EnumChildWindows(box, CollectText, reinterpret_cast<LPARAM>(&texts));
        SendMessageTimeoutA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0, SMTO_NORMAL, 20000, nullptr);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); })) << "OK closes the About box";
      });
  EXPECT_EQ(result, 0);
  EXPECT_NE(std::find(texts.begin(), texts.end(), std::string(description)), texts.end())
      << "the About box shows information string 1";
  EXPECT_NE(std::find(texts.begin(), texts.end(), "OK"), texts.end()) << "an OK button";
  for (const std::string& text : texts) std::printf("[%s]\n", text.c_str());

  // Nothing is shown: a box would hold the call until it is cancelled, and
  // then the call would answer 0.
  for (int32_t function : {2, -1}) {
    EXPECT_EQ(UseConfiguration(configure_, owner_.hwnd(), function, [](const HostThread&) {}), -1)
        << "function " << function;
  }
}

TEST_F(ConfigurationTest, EmptyListHasItsColumnsAndOnlyAddEnabled) {
  folder_.AddTavok();
  Load();
  UseSettings([&](const SettingsDialog& dialog) {
    // The Japanese texts read as written under every code page.
    EXPECT_EQ(WindowText(dialog.hwnd()), L"設定");
    EXPECT_FALSE(IsWindowEnabled(owner_.hwnd())) << "the viewer is disabled while it is open";
    EXPECT_EQ(dialog.Header(0), L"ファイル名");
    EXPECT_EQ(dialog.Header(1), L"バージョン情報");
    EXPECT_EQ(dialog.ColumnWidth(0), 175);
    EXPECT_EQ(dialog.ColumnWidth(1), 400);
    EXPECT_EQ(dialog.ListExtendedStyle(), DWORD{LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT});
    EXPECT_TRUE(dialog.Rows().empty());
    EXPECT_TRUE(dialog.AddEnabled());
    EXPECT_FALSE(dialog.DeleteEnabled());
    dialog.PressKey(VK_ESCAPE);
    dialog.WaitClosed();
  });
  EXPECT_TRUE(IsWindowEnabled(owner_.hwnd()));
  EXPECT_FALSE(FileExists(folder_.IniPath())) << "cancelling writes nothing";
}

TEST_F(ConfigurationTest, TenDecodersDisableAddUntilOneIsDeleted) {
  folder_.AddTavok();
  const Paths names = PngDecoders(10);
  LoadWithDecoders(names);
  const std::string ini = folder_.ReadIni();
  UseSettings([&](const SettingsDialog& dialog) {
    EXPECT_EQ(dialog.Paths(), Joined(names));
    EXPECT_EQ(dialog.Rows()[9].description, kPngDescription);
    EXPECT_FALSE(dialog.AddEnabled());
    EXPECT_TRUE(dialog.DeleteEnabled());

    dialog.ClickRow(3);
    dialog.PressDelete();
    Paths rest = Joined(names);
    rest.erase(rest.begin() + 3);
    EXPECT_EQ(dialog.Paths(), rest);
    EXPECT_TRUE(dialog.AddEnabled());
    dialog.PressKey(VK_ESCAPE);
    dialog.WaitClosed();
  });
  EXPECT_EQ(folder_.ReadIni(), ini);
}

// A viewer may open the settings while its thumbnail thread's first request
// is still registering the decoders, slowly: the dialog waits for the list.
TEST_F(ConfigurationTest, OpenedDuringTheFirstRequestTheDialogListsEveryDecoder) {
  folder_.AddTavok();
  const Paths names = PngDecoders(2);
  LoadWithDecoders(names);
  const std::string cache =
      folder_.Write("a.qcx", MakeContainer(HeaderFor("http://h/a.png"), "png bytes"));
  const auto get_picture_info = tavok_->Get<GetPictureInfoFn>("GetPictureInfo");
  FixtureLog log;
  SetEnvironmentVariableA("TAVOK_FIXTURE_DELAY", "500");
  std::thread thumbnails([&] {
    HostPictureInfo info = {};
    EXPECT_EQ(get_picture_info(cache.c_str(), 0, 0, &info), 0);
    LocalFree(info.text);
  });
  EXPECT_TRUE(WaitUntil([&] { return !log.Events({"enter"}).empty(); }));
  UseSettings([&](const SettingsDialog& dialog) {
    EXPECT_EQ(dialog.Paths(), Joined(names));
    dialog.PressKey(VK_ESCAPE);
    dialog.WaitClosed();
  });
  thumbnails.join();
  SetEnvironmentVariableA("TAVOK_FIXTURE_DELAY", nullptr);
}

TEST_F(ConfigurationTest, AddingTheTenthDisablesAddAtOnceAndOkSavesIt) {
  folder_.AddTavok();
  const Paths names = PngDecoders(9);
  LoadWithDecoders(names);
  const std::string tenth = folder_.AddFixture("fx_jpeg", "tenth.spi");
  UseSettings([&](const SettingsDialog& dialog) {
    EXPECT_TRUE(dialog.AddEnabled());
    const FileOpenDialog file_open = dialog.PressAdd();
    EXPECT_EQ(WindowText(file_open.hwnd()), L"追加するSusieプラグインを選択してください。");
    file_open.Choose(tenth);
    dialog.Sync();
    Paths all = Joined(names);
    all.push_back(tenth);
    EXPECT_EQ(dialog.Paths(), all);
    EXPECT_EQ(dialog.Rows()[9].description, "Fixture JPEG decoder");
    EXPECT_FALSE(dialog.AddEnabled());
    EXPECT_TRUE(dialog.DeleteEnabled());
    dialog.PressOk();
  });
  EXPECT_EQ(Profile(folder_.IniPath(), "Count"), "10");
  EXPECT_EQ(Profile(folder_.IniPath(), "Path0"), "d0.spi");
  EXPECT_EQ(Profile(folder_.IniPath(), "Path9"), tenth);
}

TEST_F(ConfigurationTest, RefusedFilesChangeNothingAndShowNothing) {
  folder_.AddTavok();
  const std::string a = folder_.AddFixture("fx_png", "a.spi");
  std::string a_in_capitals = a;
  CharUpperA(a_in_capitals.data());
  const std::string old = folder_.AddFixture("fx_version", "old.spi");
  const std::string junk = folder_.Join("junk.spi");
  WriteBytes(junk, "not a module", 12);
  LoadWithDecoders({"a.spi"});
  const std::string ini = folder_.ReadIni();
  UseSettings([&](const SettingsDialog& dialog) {
    const std::vector<HWND> windows = dialog.ThreadWindows();
    for (const std::string& refused : {a, a_in_capitals, folder_.TavokPath(), old, junk}) {
      dialog.PressAdd().Choose(refused);
      dialog.Sync();
      EXPECT_EQ(dialog.Paths(), Paths{a}) << refused;
      EXPECT_EQ(dialog.ThreadWindows(), windows) << "no message, and the dialog stays open";
    }
    dialog.PressAdd().Cancel();
    dialog.Sync();
    EXPECT_EQ(dialog.Paths(), Paths{a}) << "after cancelling the file-open dialog";
    EXPECT_TRUE(dialog.AddEnabled());
    EXPECT_TRUE(dialog.DeleteEnabled());
    dialog.PressKey(VK_ESCAPE);
    dialog.WaitClosed();
  });
  EXPECT_EQ(folder_.ReadIni(), ini);
}

// OK saves the rows as shown, top to bottom: Delete and Add, the dialog's way
// to change the order, are not undone. A deleted entry loses what was written
// for it; added again, it is saved as it was picked.
TEST_F(ConfigurationTest, OkSavesTheRowsInTheOrderShown) {
  folder_.AddTavok();
  const std::string a = folder_.AddFixture("fx_png", "a.spi");
  const std::string b = folder_.AddFixture("fx_jpeg", "b.spi");
  const std::string c = folder_.AddFixture("fx_png_second", "c.spi");
  const struct {
    const char* label;
    bool add_again;
    Paths rows, saved;
  } cases[] = {
      {"delete the first of three", false, {b, c}, {"b.spi", "c.spi"}},
      {"delete the first, add it again", true, {b, c, a}, {"b.spi", "c.spi", a}},
  };
  for (const auto& test : cases) {
    tavok_.reset();  // unloaded, so that the next load reads the file anew
    LoadWithDecoders({"a.spi", "b.spi", "c.spi"});
    UseSettings([&](const SettingsDialog& dialog) {
      dialog.ClickRow(0);
      dialog.PressDelete();
      if (test.add_again) {
        dialog.PressAdd().Choose(a);
        dialog.Sync();
      }
      EXPECT_EQ(dialog.Paths(), test.rows) << test.label;
      EXPECT_EQ(dialog.ColumnCount(), 2) << "the columns are set up once per dialog";
      dialog.PressOk();
    });
    const std::string ini = folder_.IniPath();
    EXPECT_EQ(Profile(ini, "Count"), std::to_string(test.saved.size())) << test.label;
    for (size_t i = 0; i <= test.saved.size(); ++i) {
      const std::string key = "Path" + std::to_string(i);
      EXPECT_EQ(Profile(ini, key.c_str()), i < test.saved.size() ? test.saved[i] : "(absent)")
          << test.label << ": " << key;
    }
  }
}

TEST_F(ConfigurationTest, DeletingTheOnlyEntryDisablesDeleteUntilOneIsAdded) {
  folder_.AddTavok();
  const std::string a = folder_.AddFixture("fx_png", "a.spi");
  LoadWithDecoders({"a.spi"});
  UseSettings([&](const SettingsDialog& dialog) {
    dialog.ClickRow(0);
    dialog.PressDelete();
    EXPECT_TRUE(dialog.Rows().empty());
    EXPECT_FALSE(dialog.DeleteEnabled());
    EXPECT_TRUE(dialog.AddEnabled());

    dialog.PressAdd().Choose(a);
    dialog.Sync();
    EXPECT_EQ(dialog.Paths(), Paths{a});
    EXPECT_TRUE(dialog.DeleteEnabled());
    dialog.PressKey(VK_ESCAPE);
    dialog.WaitClosed();
  });
}

TEST_F(ConfigurationTest, DeleteWithoutASelectionAndOtherNotificationsDoNothing) {
  folder_.AddTavok();
  const Paths names = PngDecoders(3);
  LoadWithDecoders(names);
  UseSettings([&](const SettingsDialog& dialog) {
    const std::vector<HWND> windows = dialog.ThreadWindows();
    EXPECT_EQ(dialog.SelectionMark(), -1);
    dialog.PressDelete();
    EXPECT_EQ(dialog.Paths(), Joined(names)) << "Delete before any row was selected";

    // Deselected by a click on empty space, the row keeps the selection
    // mark, and Delete leaves it alone.
    dialog.ClickRow(2);
    dialog.ClickEmptySpace();
    EXPECT_EQ(dialog.SelectionMark(), 2);
    dialog.PressDelete();
    EXPECT_EQ(dialog.Paths(), Joined(names)) << "Delete after the row was deselected";

    dialog.ClickRow(1);
    for (WORD notification : {WORD{1}, WORD{BN_DOUBLECLICKED}}) {
      dialog.SendCommand(1002, notification, dialog.Control(1002));
      EXPECT_EQ(dialog.Paths(), Joined(names)) << "Delete, notification " << notification;
      // Were Add to run, the file-open dialog would hold this call.
      dialog.SendCommand(1001, notification, dialog.Control(1001));
      EXPECT_EQ(dialog.ThreadWindows(), windows) << "Add, notification " << notification;
    }
    dialog.PressKey(VK_ESCAPE);
    dialog.WaitClosed();
  });
}

BOOL CALLBACK CollectWideText(HWND window, LPARAM found) {
  reinterpret_cast<std::vector<std::wstring>*>(found)->push_back(WindowText(window));
  return TRUE;
}

// A save that fails leaves tavok.ini as it was, says so, and keeps the dialog
// open with the user's list; Cancel then closes it.
TEST_F(ConfigurationTest, AFailedSaveIsReportedAndKeepsTheDialogOpen) {
  folder_.AddTavok();
  const Paths names = PngDecoders(2);
  LoadWithDecoders(names);
  const std::string ini = folder_.ReadIni();
  SetFileAttributesA(folder_.IniPath().c_str(), FILE_ATTRIBUTE_READONLY);
  std::vector<std::wstring> texts;
  UseSettings([&](const SettingsDialog& dialog) {
    dialog.ClickRow(0);
    dialog.PressDelete();
    // Posted: the message box's modal loop holds the click.
    PostMessageA(dialog.Control(IDOK), BM_CLICK, 0, 0);
    const HWND box = host_->WaitForDialog(
        dialog.hwnd(), [](HWND window) { return WindowText(window) == L"tavok"; });
    EnumChildWindows(box, CollectWideText, reinterpret_cast<LPARAM>(&texts));
    SendMessageTimeoutA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0, SMTO_NORMAL, 20000, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
    EXPECT_TRUE(IsWindow(dialog.hwnd())) << "the dialog stays open";
    EXPECT_EQ(dialog.Paths(), Paths{Joined(names)[1]});
    dialog.PressKey(VK_ESCAPE);
    dialog.WaitClosed();
  });
  SetFileAttributesA(folder_.IniPath().c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(folder_.ReadIni(), ini);
  const std::wstring message =
      L"\u8A2D\u5B9A\u30D5\u30A1\u30A4\u30EB\u3092\u4FDD\u5B58\u3067\u304D\u307E\u305B"
      L"\u3093\u3067\u3057\u305F\u3002";
  bool found = false;
  for (const std::wstring& text : texts) found = found || text.rfind(message, 0) == 0;
  EXPECT_TRUE(found) << "the box says the settings file could not be saved";
}

// An entry whose decoder cannot be loaded now is not shown, counts toward the
// ten, and is saved in its place.
TEST_F(ConfigurationTest, AnEntryThatCannotBeLoadedIsKeptInItsPlace) {
  folder_.AddTavok();
  Paths names = PngDecoders(9);
  names.insert(names.begin() + 4, "E:\\unmounted\\x.spi");
  LoadWithDecoders(names);
  UseSettings([&](const SettingsDialog& dialog) {
    EXPECT_EQ(dialog.Paths().size(), 9u);
    EXPECT_FALSE(dialog.AddEnabled()) << "ten entries in all";
    dialog.ClickRow(0);
    dialog.PressDelete();
    EXPECT_TRUE(dialog.AddEnabled());
    dialog.PressOk();
  });
  EXPECT_EQ(Profile(folder_.IniPath(), "Count"), "9");
  EXPECT_EQ(Profile(folder_.IniPath(), "Path3"), "E:\\unmounted\\x.spi");
  EXPECT_EQ(Profile(folder_.IniPath(), "Path0"), "d1.spi");
}

TEST_F(ConfigurationTest, OkWithAnUnchangedListRewritesCountAndPathsAndDropsStaleKeys) {
  folder_.AddTavok();
  const std::string a = folder_.AddFixture("fx_png", "a.spi");
  const std::string b = folder_.AddFixture("fx_jpeg", "sub\\b.spi");
  folder_.WriteIni("[SPI]\r\nCount=02\r\nPath0=a.spi\r\nPath1=" + b +
                   "\r\nPath5=stale.spi\r\n[Icon]\r\nWidth=64\r\n");
  Load();
  UseSettings([&](const SettingsDialog& dialog) {
    EXPECT_EQ(dialog.Paths(), (Paths{a, b})) << "shown joined to tavok's folder";
    dialog.PressOk();
  });
  EXPECT_EQ(Profile(folder_.IniPath(), "Count"), "2");
  EXPECT_EQ(Profile(folder_.IniPath(), "Path0"), "a.spi") << "saved as written";
  EXPECT_EQ(Profile(folder_.IniPath(), "Path1"), b);
  EXPECT_EQ(Profile(folder_.IniPath(), "Path5"), "(absent)") << "keys beyond Count go";
  char width[8] = {};
  GetPrivateProfileStringA("Icon", "Width", "", width, sizeof(width), folder_.IniPath().c_str());
  EXPECT_STREQ(width, "64");
}

TEST_F(ConfigurationTest, EnterSavesWhileEscapeAndTheCloseBoxDoNot) {
  folder_.AddTavok();
  Load();
  const struct {
    const char* how;
    std::function<void(const SettingsDialog&)> close;
    bool saves;
  } cases[] = {
      {"Escape", [](const SettingsDialog& d) { d.PressKey(VK_ESCAPE); }, false},
      {"close box", [](const SettingsDialog& d) { d.CloseBox(); }, false},
      {"Enter", [](const SettingsDialog& d) { d.PressKey(VK_RETURN); }, true},
  };
  for (const auto& c : cases) {
    DeleteFileA(folder_.IniPath().c_str());
    UseSettings([&](const SettingsDialog& dialog) {
      c.close(dialog);
      dialog.WaitClosed();
    });
    EXPECT_EQ(FileExists(folder_.IniPath()), c.saves) << c.how;
    if (c.saves) {
      EXPECT_EQ(Profile(folder_.IniPath(), "Count"), "0") << c.how;
    }
  }
}

TEST_F(ConfigurationTest, CancelledChangesStayInTheRunningModuleOnly) {
  const FixtureLog log;
  folder_.AddTavok();
  const std::string a = folder_.AddFixture("fx_png", "a.spi");
  const std::string b = folder_.AddFixture("fx_jpeg", "b.spi");
  LoadWithDecoders({"a.spi"});
  const std::string ini = folder_.ReadIni();
  UseSettings([&](const SettingsDialog& dialog) {
    dialog.PressAdd().Choose(b);
    dialog.Sync();
    dialog.PressKey(VK_ESCAPE);
    dialog.WaitClosed();
  });
  EXPECT_EQ(folder_.ReadIni(), ini);
  UseSettings([&](const SettingsDialog& dialog) {
    EXPECT_EQ(dialog.Paths(), (Paths{a, b})) << "the next dialog shows the added decoder";
    dialog.CloseBox();
    dialog.WaitClosed();
  });
  EXPECT_EQ(folder_.ReadIni(), ini);

  // The added decoder, and only it, takes a JPEG payload.
  const std::string cache =
      folder_.Write("c.qcx", MakeContainer(HeaderFor("http://h/photo.jpg"), "jpeg bytes"));
  PictureInfo info = {};
  log.Clear();
  ASSERT_EQ(tavok_->Get<GetPictureInfoFn>("GetPictureInfo")(cache.c_str(), 0, 0, &info), 0);
  LocalFree(info.text);
  EXPECT_EQ(info.width, 4) << "the fixture's picture, not the placeholder";
  EXPECT_EQ(log.Events({"GetPictureInfo"}).size(), 1u);
  EXPECT_EQ(log.Events({"GetPictureInfo"}).at(0).rfind("fx_jpeg ", 0), 0u);
}

}  // namespace
}  // namespace tavok::testing
