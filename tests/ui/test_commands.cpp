// The commands against a window double: what they show, write and change.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "core/numbers.h"
#include "core/random.h"
#include "ui/commands.h"
#include "ui/list_window.h"

namespace tarnwick {
namespace {

using testing::ListWindow;
namespace fs = std::filesystem;

std::string file_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "tarnwick-commands-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempFolder() { fs::remove_all(path_); }
  fs::path operator/(const std::string& name) const { return path_ / name; }

 private:
  fs::path path_;
};

Text path_text(const fs::path& path) { return utf8_to_cp936(path.string()); }

// A thread starter that records whether it was asked and starts nothing.
struct RefusingStarter {
  int* calls;
  bool operator()(ThreadRoutine, intptr_t) const {
    ++*calls;
    return false;
  }
};

TEST(ExportCommand, WritesTheSignatureColumnAsLinesWithCrLf) {
  TempFolder folder;
  ListWindow window;
  window.add_rows({"a", "", "b"});
  window.rows[1].id = "77";
  window.dialog_choice = path_text(folder / "out.txt");
  Commands commands(window);

  commands.export_command();

  EXPECT_EQ(file_bytes(folder / "out.txt"), std::string("a\r\n\r\nb\r\n"));
  EXPECT_TRUE(window.messages.empty());
  EXPECT_EQ(window.process_events_calls, 3);
  EXPECT_EQ(window.dialog_setup.kind, FileDialogKind::save);
  EXPECT_EQ(cp936_to_utf8(window.dialog_setup.filter), "文本文件(*.txt)|*.txt|所有文件(*.*)|*.*");
  EXPECT_EQ(window.dialog_setup.default_extension, Text(".xls"));
}

TEST(ExportCommand, WritesCodePage936BytesUnchanged) {
  TempFolder folder;
  ListWindow window;
  window.add_rows({"超拽的签名"});
  window.dialog_choice = path_text(folder / "中文.txt");
  Commands commands(window);

  commands.export_command();

  EXPECT_EQ(file_bytes(folder / "中文.txt"), "超拽的签名"_cp936.str() + "\r\n");
}

TEST(ExportCommand, ReplacesALongerFile) {
  TempFolder folder;
  std::ofstream(folder / "old.txt") << std::string(10000, 'x');
  ListWindow window;
  window.add_rows({"new"});
  window.dialog_choice = path_text(folder / "old.txt");
  Commands commands(window);

  commands.export_command();

  EXPECT_EQ(file_bytes(folder / "old.txt"), "new\r\n");
}

TEST(ExportCommand, CancelWritesNothing) {
  TempFolder folder;
  ListWindow window;
  window.add_rows({"a"});
  Commands commands(window);

  commands.export_command();

  EXPECT_EQ(window.dialogs_opened, 1);
  EXPECT_TRUE(window.messages.empty());
  EXPECT_EQ(window.process_events_calls, 0);
}

TEST(ExportCommand, EmptyListShowsTheHintAndOpensNoDialog) {
  ListWindow window;
  Commands commands(window);

  commands.export_command();

  EXPECT_EQ(window.dialogs_opened, 0);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text_utf8, "目前没任何签名用户存在!");
  EXPECT_EQ(window.messages[0].style, 64);
  EXPECT_EQ(window.messages[0].title_utf8, "提示");
}

TEST(ExportCommand, RowsAddedWhileItTakesEventsAreNotWritten) {
  TempFolder folder;
  ListWindow window;
  window.add_rows({"a", "b"});
  window.on_process_events = [&] { window.add_rows({"late"}); };
  window.dialog_choice = path_text(folder / "out.txt");
  Commands commands(window);

  commands.export_command();

  EXPECT_EQ(file_bytes(folder / "out.txt"), "a\r\nb\r\n");
}

TEST(ExportCommand, TheDialogKeepsTheChosenPathForTheNextExport) {
  TempFolder folder;
  ListWindow window;
  window.add_rows({"a"});
  window.dialog_choice = path_text(folder / "first.txt");
  Commands commands(window);

  commands.export_command();
  window.dialog_choice.reset();
  commands.export_command();

  EXPECT_EQ(cp936_to_utf8(window.dialog_file_name), (folder / "first.txt").string());
}

struct ExportFailureCase {
  const char* name;
  std::function<fs::path(const TempFolder&)> path;
};

class ExportFailure : public ::testing::TestWithParam<ExportFailureCase> {};

// A failed export says so and names the file; nothing goes unreported.
TEST_P(ExportFailure, IsReportedWithThePath) {
  TempFolder folder;
  const fs::path path = GetParam().path(folder);
  ListWindow window;
  window.add_rows({"a", "b"});
  window.dialog_choice = path_text(path);
  Commands commands(window);

  commands.export_command();

  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text_utf8, "导出失败：" + path.string());
  EXPECT_EQ(window.messages[0].style, 16);
  EXPECT_EQ(window.messages[0].title_utf8, "提示");
}

INSTANTIATE_TEST_SUITE_P(Paths, ExportFailure,
                         ::testing::Values(ExportFailureCase{"FolderMissing",
                                                             [](const TempFolder& f) {
                                                               return f / "missing" / "out.txt";
                                                             }},
                                           ExportFailureCase{"PathIsAFolder",
                                                             [](const TempFolder& f) {
                                                               fs::create_directory(f / "folder");
                                                               return f / "folder";
                                                             }},
                                           ExportFailureCase{"DiskFull",
                                                             [](const TempFolder&) {
                                                               return fs::path("/dev/full");
                                                             }}),
                         [](const auto& case_info) { return std::string(case_info.param.name); });

// Exports 20000 lines under a file-size limit, which makes every write past it fail as a full
// disk does; ends the process with 0 when exactly one error box was shown.
[[noreturn]] void export_under_size_limit(const fs::path& path, rlim_t limit_bytes) {
  signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{limit_bytes, limit_bytes};
  setrlimit(RLIMIT_FSIZE, &limit);
  ListWindow window;
  for (int i = 0; i < 20000; ++i) window.add_rows({"0123456789"});
  window.dialog_choice = path_text(path);
  Commands commands(window);
  commands.export_command();
  const bool reported = window.messages.size() == 1 && window.messages[0].style == 16;
  std::_Exit(reported ? 0 : 1);
}

TEST(ExportCommand, ALineThatCannotBeWrittenEndsTheExportWithAReport) {
  TempFolder folder;
  const fs::path path = folder / "limited.txt";
  EXPECT_EXIT(export_under_size_limit(path, 1000), ::testing::ExitedWithCode(0), "");
  EXPECT_LE(fs::file_size(path), 1000u);
}

TEST(DeleteMarkedCommand, KeepsTheFirstOfEachSignatureInOrder) {
  struct Case {
    std::vector<std::string> before;
    std::vector<std::string> after;
  };
  const std::vector<Case> cases = {
      {{"a", "b", "a", "c", "b", "a"}, {"a", "b", "c"}},
      {{"a", "b", "c"}, {"a", "b", "c"}},
      {{"", "x", "", ""}, {"", "x"}},
      {{"签名", "签名"}, {"签名"}},
      {{}, {}},
  };
  for (const Case& c : cases) {
    ListWindow window;
    window.add_rows(c.before);
    Commands commands(window);

    commands.delete_marked_command();

    EXPECT_EQ(window.signatures_utf8(), c.after) << ::testing::PrintToString(c.before);
  }
}

TEST(DeleteMarkedCommand, KeptRowsKeepTheirNumbers) {
  ListWindow window;
  window.add_rows({"a", "a", "b", "a", "c"});
  Commands commands(window);

  commands.delete_marked_command();

  std::vector<std::string> ids;
  for (const auto& row : window.rows) ids.push_back(row.id);
  EXPECT_EQ(ids, (std::vector<std::string>{"1", "3", "5"}));
}

TEST(DeleteMarkedCommand, RemovesRowsThatAlreadyCarryTheMarker) {
  ListWindow window;
  window.add_rows({"a", "b", "c"});
  window.rows[1].value = marked_row_value;
  Commands commands(window);

  commands.delete_marked_command();

  EXPECT_EQ(window.signatures_utf8(), (std::vector<std::string>{"a", "c"}));
}

// The rows come from a generator seeded with the uptime at the moment of the command: the same
// uptime gives the same rows.
TEST(SampleRowsCommand, FifteenRowsDrawnFromTheUptimeSeed) {
  ListWindow window;
  window.add_rows({"old", "rows"});
  Commands commands(window);

  const uint32_t before = static_cast<uint32_t>(uptime_ms());
  commands.sample_rows_command();
  const uint32_t after = static_cast<uint32_t>(uptime_ms());

  ASSERT_EQ(window.rows.size(), 15u);
  for (const auto& row : window.rows) {
    EXPECT_GE(text_to_int(Text(row.id)), 10);
    EXPECT_LE(text_to_int(Text(row.id)), 15);
    EXPECT_GE(text_to_int(Text(row.signature)), 21);
    EXPECT_LE(text_to_int(Text(row.signature)), 26);
  }
  bool some_seed_matches = false;
  for (uint32_t seed = before; seed <= after && !some_seed_matches; ++seed) {
    seed_random(seed);
    some_seed_matches = true;
    for (const auto& row : window.rows) {
      const Text id = int_to_text(random_between(10, 15));
      const Text signature = int_to_text(random_between(21, 26));
      some_seed_matches =
          some_seed_matches && id == Text(row.id) && signature == Text(row.signature);
    }
  }
  EXPECT_TRUE(some_seed_matches);
}

TEST(StartCommand, EmptyCountBoxAsksForTheCountAndStartsNothing) {
  ListWindow window;
  int starts = 0;
  Commands commands(window, "127.0.0.1:1", RefusingStarter{&starts});

  commands.start_command();

  EXPECT_EQ(starts, 0);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text_utf8, "请输入采集次数");
  EXPECT_EQ(window.messages[0].style, 0);
  EXPECT_EQ(window.messages[0].title_utf8, std::nullopt);
  EXPECT_TRUE(window.captions_utf8.empty());
  EXPECT_TRUE(window.disabled.empty());
}

// Without a worker nothing would bring the buttons back, so they return to the look they had.
TEST(StartCommand, AThreadThatCannotStartLeavesTheButtonsAsTheyWere) {
  ListWindow window;
  window.count_box = "5";
  int starts = 0;
  Commands commands(window, "127.0.0.1:1", RefusingStarter{&starts});

  commands.start_command();

  EXPECT_EQ(starts, 1);
  EXPECT_EQ(window.captions_utf8[Control::按钮1], "开始");
  EXPECT_EQ(window.captions_utf8[Control::按钮2], "结束");
  EXPECT_FALSE(window.disabled[Control::按钮1]);
  EXPECT_TRUE(window.disabled[Control::按钮2]);
}

TEST(StartCommand, AfterARunAThreadThatCannotStartRestoresTheRestingLook) {
  ListWindow window;
  window.count_box = "0";
  int starts = 0;
  // The first start runs the worker's routine at once, on this thread; the second one fails.
  Commands commands(window, "127.0.0.1:1", [&](ThreadRoutine routine, intptr_t parameter) {
    if (++starts > 1) return false;
    routine(parameter);
    return true;
  });

  commands.start_command();
  window.captions_utf8.clear();
  commands.start_command();

  EXPECT_EQ(window.captions_utf8[Control::按钮1], "开始采集");
  EXPECT_EQ(window.captions_utf8[Control::按钮2], "采集完毕");
  EXPECT_FALSE(window.disabled[Control::按钮1]);
  EXPECT_TRUE(window.disabled[Control::按钮2]);
}

}  // namespace
}  // namespace tarnwick
